#pragma once

#include <QList>
#include <QtGlobal>

// Small measuring helpers shared by the bench programs.
double Median(QList<double> values); // 0 for none
