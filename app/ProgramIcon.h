// The program's icon: a sheet of paper with a blue band, drawn at any size.
#pragma once

#include <QIcon>

QIcon programIcon();
