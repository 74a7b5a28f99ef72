#ifndef ERRORBOXCATCHER_H
#define ERRORBOXCATCHER_H

#include <QObject>
#include <QStringList>
#include <QTimer>

// Watches for modal message boxes while it lives, reads their title and
// text, and closes them with OK, so that a test can drive code that reports
// an error and then check what the user was told. Catchers alive at the
// same time each see every box.
class ErrorBoxCatcher : public QObject
{
    Q_OBJECT

public:
    explicit ErrorBoxCatcher(QObject *parent = nullptr);
    ~ErrorBoxCatcher() override;

    int count() const { return texts.size(); }
    // "title|text" of every box seen, in order.
    QStringList seen() const;
    QStringList titles;
    QStringList texts;
    QStringList details;   // each box's detailed text
    // The most boxes that were open at the same time.
    int mostOpenAtOnce = 0;

    void clear();

private:
    void closeOpenBoxes();

    QTimer poll;
};

#endif
