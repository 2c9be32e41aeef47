// What a run does: the index of the start button that began it.
#pragma once

enum class RunMode : int {
    SearchOnly = 0,       // "Nur Suche": count only
    SearchAndReplace = 1, // "Suchen && Ersetzen": count, replace and write
};
