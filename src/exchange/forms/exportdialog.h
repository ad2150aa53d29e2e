#pragma once
// The export dialogs stand on a vertical two-colour gradient. Each check box or
// radio button on it takes the gradient's colour at its top (when the dialog is
// shown and after every resize), so that the box blends into the background.
#include <QAbstractButton>
#include <QColor>
#include <QDialog>
#include <QList>

namespace vt {

class ExportDialog : public QDialog
{
    Q_OBJECT
public:
    ExportDialog(QWidget *parent, Qt::WindowFlags flags);

    QColor GradientStart{0xff, 0xff, 0xff};
    QColor GradientEnd{0xc4, 0xd7, 0xef};

public slots:
    void MakeColors();

protected:
    // The boxes standing on the gradient.
    virtual QList<QAbstractButton *> gradientBoxes() const = 0;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
};

} // namespace vt
