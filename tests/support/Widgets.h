#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace kolvix::test {

// The one widget of class W named `name` inside the window, as its .ui form (or the code that
// builds it) names it. A missing widget, one of another class or a name given twice fails the
// test with a message that names the window and the widget.
template <class W> W& widget(const QObject& window, const char* name)
{
    const QList<W*> found = window.findChildren<W*>(QString::fromLatin1(name));
    if (found.size() == 1)
        return *found.front();
    const std::string message = std::string(window.metaObject()->className()) + " '" + window.objectName().toStdString()
        + "' has " + std::to_string(found.size()) + " " + W::staticMetaObject.className() + " named '" + name
        + "', not one";
    ADD_FAILURE() << message;
    throw std::runtime_error(message);
}

} // namespace kolvix::test
