#pragma once
// The progress of an update download: the file, where it comes from and goes
// to, how far it is, and "Abbrechen", which asks before it stops the download.
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

namespace Ui {
class TUpdateProgressForm;
}

namespace vt {

class TUpdateProgressForm : public QDialog
{
    Q_OBJECT
public:
    explicit TUpdateProgressForm(QWidget *parent = nullptr);
    ~TUpdateProgressForm() override;

    // The file being fetched, from where and into which folder; the clock starts.
    void start(const QString &fileName, const QString &source, const QString &targetFolder);
    void showProgress(qint64 received, qint64 total);
    // Closes the window without asking (the download ended).
    void finish();

    // The cancel button, Escape and the close box all come here.
    void reject() override;

signals:
    // The user confirmed that the download is to stop.
    void cancelConfirmed();

private:
    void showTimes();

    Ui::TUpdateProgressForm *ui;
    QElapsedTimer m_clock;
    // The times go on while a slow server sends nothing.
    QTimer m_ticker;
    qint64 m_received = 0;
    qint64 m_total = 0;
    bool m_finished = false;
};

} // namespace vt
