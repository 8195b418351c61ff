#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace kelvora::test {

// Plays the user in the next modal window of type W that a real dialog call shows: `act`
// runs once the window is up and must close it. A window that never shows, or stays open,
// fails the test.
template <typename W>
void whenModalShown(std::function<void(W *)> act)
{
    auto *timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, tries, act] {
        if (auto *window = qobject_cast<W *>(QApplication::activeModalWidget())) {
            timer->deleteLater();
            act(window);
            // A window that the act left open would stop the tests for good.
            QTimer::singleShot(5000, [shown = QPointer<W>(window)] {
                if (shown && shown->isVisible()) {
                    ADD_FAILURE() << "the modal window stayed open";
                    shown->close();
                }
            });
        } else if (++*tries > 300) {
            timer->deleteLater();
            ADD_FAILURE() << "no modal window of the expected kind was shown";
            if (QWidget *other = QApplication::activeModalWidget())
                other->close();
        }
    });
    timer->start(10);
}

} // namespace kelvora::test
