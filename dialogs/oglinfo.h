#ifndef OGLINFO_H
#define OGLINFO_H

#include <QDialog>

namespace Ui {
class oglinfo;
}

// "OpenGL": the driver's version, vendor, renderer and extension list, as
// queried once when the program started, or that no context could be made.
class oglinfo : public QDialog
{
    Q_OBJECT

public:
    explicit oglinfo(QWidget *parent);
    ~oglinfo() override;

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void on_pbClose_clicked();

private:
    void fillOpenGlInfo();

    Ui::oglinfo *ui;
};

#endif
