// One column of the result list: a new column is all empty, zero and false.
#include "Column.h"

Column::Column() = default;

Column::Column(const QString &columnKey) : key(columnKey) {}
