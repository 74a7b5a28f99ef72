#ifndef ERRORBOXCATCHER_H
#define ERRORBOXCATCHER_H

#include <QObject>
#include <QStringList>
#include <QTimer>

// Watches for modal message boxes while it lives, reads their title, text
// and details, and closes them with OK, so that a test can drive code that
// reports an error and then check what the user was told. Catchers alive at
// the same time each see every box.
class ErrorBoxCatcher : public QObject
{
    Q_OBJECT

public:
    explicit ErrorBoxCatcher(QObject *parent = nullptr);
    ~ErrorBoxCatcher() override;

    int count() const { return seen.size(); }
    void clear();

    QStringList seen;      // "title|text" of every box, in order
    QStringList details;   // each box's detailed text

private:
    void closeOpenBoxes();

    QTimer poll;
};

#endif
