#include "errorboxcatcher.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

ErrorBoxCatcher::ErrorBoxCatcher(QObject *parent)
    : QObject(parent)
{
    connect(&poll, &QTimer::timeout, this, &ErrorBoxCatcher::closeOpenBoxes);
    poll.start(20);
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
    mostOpenAtOnce = qMax(mostOpenAtOnce, open.size());
    for (QMessageBox *box : open) {
        box->setProperty("korvaneSeen", true);
        titles << box->windowTitle();
        texts << box->text();
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    }
}
