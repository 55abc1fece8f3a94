#pragma once

#include <QWidget>

#include <gtest/gtest.h>

namespace orv::test {

// Sends a pointer move over the middle of `widget`, as the window system does.
void movePointerOver(QWidget *widget);

// The child of `parent` with the given objectName, failing the test when there is none.
template <typename T> T *control(QObject *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    EXPECT_NE(found, nullptr) << "no control " << name.toStdString();
    return found;
}

} // namespace orv::test
