#pragma once
// The dialog "Bestellungen / Abbestellungen": fetches the subscriptions and
// unsubscriptions collected on the web server, shows those that change the open
// table for confirmation, applies the ticked ones and then empties what was
// fetched on the server.
#include "httpclient.h"
#include "subscriptions.h"

#include <QDialog>
#include <QPointer>

namespace Ui {
class TSuscribeForm;
}

namespace vt {

class TEnterpriseOptionsForm;
class TOptionsForm;

class TSuscribeForm : public QDialog
{
    Q_OBJECT
public:
    explicit TSuscribeForm(QWidget *parent = nullptr);
    ~TSuscribeForm() override;
    void FormCreate();

    // The holder of the server path and the list password, and the options
    // dialog whose proxy the requests use (set by the main window).
    QPointer<TEnterpriseOptionsForm> Settings;
    QPointer<TOptionsForm> Options;
    bool NoticeArmed = false;
    // The limits of every request to the server (tests shorten them).
    HttpLimits RequestLimits;

    // What the last fetch found (empty before one).
    const CompareResult &found() const { return m_found; }

public slots:
    void FormShow();
    void GetOrdersBitBtnClick();
    void InDatabaseBitBtnClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Shows a failed answer of a list script; true when the answer can be used.
    bool answerUsable(const ListAnswer &answer, bool subscriptions);
    SubscriptionServer server();
    void setStatus(const QString &text);
    void showStatistics(int total, int subscriptions, int unsubscriptions);

    Ui::TSuscribeForm *ui;
    HttpClient m_http;
    CompareResult m_found;
    QString m_markIn, m_markOut;
    bool m_canApply = false;
};

} // namespace vt
