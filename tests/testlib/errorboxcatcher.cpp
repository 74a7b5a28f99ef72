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

QStringList ErrorBoxCatcher::seen() const
{
    QStringList result;
    for (int i = 0; i < texts.size(); ++i)
        result << titles.at(i) + QLatin1Char('|') + texts.at(i);
    return result;
}

void ErrorBoxCatcher::clear()
{
    titles.clear();
    texts.clear();
    details.clear();
    mostOpenAtOnce = 0;
}

void ErrorBoxCatcher::closeOpenBoxes()
{
    QList<QMessageBox *> open;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(widget);
        if (box && box->isVisible() && !box->property("korvaneSeen").toBool())
            open << box;
    }
    for (ErrorBoxCatcher *catcher : catchers())
        catcher->mostOpenAtOnce = qMax(catcher->mostOpenAtOnce, open.size());
    for (QMessageBox *box : open) {
        box->setProperty("korvaneSeen", true);
        for (ErrorBoxCatcher *catcher : catchers()) {
            catcher->titles << box->windowTitle();
            catcher->texts << box->text();
            catcher->details << box->detailedText();
        }
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    }
}
