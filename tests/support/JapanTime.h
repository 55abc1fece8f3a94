#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <ctime>

namespace orv::test {

// Fixtures pinned byte for byte hold dates of the local clock: they were written in Japan's
// time, and each test runs in it whatever the machine's zone.
class InJapanTime : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_zone = qgetenv("TZ");
        m_hadZone = qEnvironmentVariableIsSet("TZ");
        qputenv("TZ", "Asia/Tokyo");
        tzset();
    }
    void TearDown() override
    {
        if (m_hadZone)
            qputenv("TZ", m_zone);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_zone;
    bool m_hadZone = false;
};

} // namespace orv::test
