#pragma once

#include <QtTest>

#include <cmath>

/// Fails the test, naming both values, unless `actual` lies within `tolerance` of `expected`.
#define COMPARE_NEAR(actual, expected, tolerance)                                                             \
    QVERIFY2(std::fabs(double(actual) - double(expected)) <= double(tolerance),                               \
             qPrintable(QStringLiteral("%1 is not within %2 of %3")                                             \
                            .arg(double(actual), 0, 'g', 12).arg(double(tolerance)).arg(double(expected), 0, 'g', 12)))
