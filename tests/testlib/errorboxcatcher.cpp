#include "errorboxcatcher.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

QList<ErrorBoxCatcher *> &catchers()
{
    static QList<ErrorBoxCatcher *> alive;
    return alive;
}

} // namespace

ErrorBoxCatcher::ErrorBoxCatcher(QObject *parent)
    : QObject(parent)
{
    catchers() << this;
    connect(&poll, &QTimer::timeout, this, &ErrorBoxCatcher::closeOpenBoxes);
    poll.start(20);
}

ErrorBoxCatcher::~ErrorBoxCatcher()
{
    catchers().removeOne(this);
}

void ErrorBoxCatcher::clear()
{
    seen.clear();
    details.clear();
}

void ErrorBoxCatcher::closeOpenBoxes()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(widget);
        if (!box || !box->isVisible() || box->property("korvaneSeen").toBool())
            continue;
        box->setProperty("korvaneSeen", true);
        for (ErrorBoxCatcher *catcher : catchers()) {
            catcher->seen << box->windowTitle() + QLatin1Char('|') + box->text();
            catcher->details << box->detailedText();
        }
        box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
    }
}
