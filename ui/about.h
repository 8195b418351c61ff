#pragma once

#include <QDialog>
#include <QIcon>

class QLabel;

namespace kelvora {

// The About box: a borderless picture with the version and a description; a click anywhere
// closes it.
class TFAbout : public QDialog
{
    Q_OBJECT

public:
    explicit TFAbout(QWidget *parent = nullptr);

    QLabel *Label1; // description
    QLabel *Label2; // version

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
};

} // namespace kelvora
