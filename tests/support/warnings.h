#pragma once
// Test helper: a widget suite fails on any warning Qt prints (a malformed .arg(), a
// connection to a signal that does not exist, a layout set twice).

#include <QRegularExpression>
#include <QTest>

namespace halvo::test {

// Call from init(): it holds for the test function that follows. The offscreen
// platform's own notes that it cannot raise or resize a real window are no fault.
inline void failOnAnyWarning()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support ).*")));
}

} // namespace halvo::test
