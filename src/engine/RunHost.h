// A front end that is both the dialogs and the view of a run: the main
// window, and the tests that stand in for it.
#pragma once

#include "RunDialogs.h"
#include "RunView.h"

class RunHost : public RunDialogs, public RunView
{
};
