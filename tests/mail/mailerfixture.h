#pragma once
// The program around the serial e-mail window for its tests: a program folder
// with the shipped files, the base database open with some recipients, a mail
// settings file pointing at a loopback server, and a main window that counts what
// the mail window asks of it.
#include "children.h"
#include "clock.h"
#include "inifile.h"
#include "mailerform.h"
#include "mailsettings.h"
#include "mainstate.h"
#include "startmailer.h"
#include "tablefixture.h"
#include "testfolder.h"
#include "textfile.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

struct FakeMainWindow : vt::TMainWindowOps
{
    int refreshes = 0;
    int wizards = 0;
    void StartMailer() override { vt::StartMailer(); }
    void ExportGridToExcel() override {}
    void SetColumnValue(const QString &, const QString &, bool) override {}
    void DeleteSelectedDatabase() override {}
    void refreshGrid() override { ++refreshes; }
    void MailBitBtnClick() override { ++wizards; }
};

struct MailerProgram
{
    TestFolder dir{true};
    FakeMainWindow ops;

    MailerProgram()
    {
        vt::TMainState &st = vt::MainState();
        st.setAppFolder(dir.path());
        st.loadDatabaseCatalog();
        st.Ops = &ops;
        st.FirstSettingsDone = true;
        st.TransactionLogOn = false;
        if (!st.OpenDatabase("Database.ini"))
            QTest::qFail("the base database does not open", __FILE__, __LINE__);
    }
    ~MailerProgram()
    {
        vt::MainState().Ops = nullptr;
        vt::MainState().FreeTableComponents();
    }
    vt::AddressTable &table() { return *vt::MainState().CurrentTable; }

    // Replaces every record by these (field -> value), each marked.
    void records(const QList<vt::FieldValues> &list)
    {
        table().deleteWhere(vt::Filter());
        QList<vt::FieldValues> marked;
        for (vt::FieldValues r : list) {
            r.prepend({"Selected", true});
            marked.append(r);
        }
        fill(table(), marked);
    }
    // The mail settings: the server on the port, with further keys as given.
    void settings(quint16 port, const QList<QPair<QString, QString>> &more = {})
    {
        vt::IniFile ini(dir.file("Vantrel.ini"));
        ini.setAutoSave(false);
        ini.writeString("SMTP", "host", "127.0.0.1");
        ini.writeString("SMTP", "port", QString::number(port));
        ini.writeString("FIRSTSETTINGS", "FirstSettingsDone", "Done");
        for (const auto &[key, value] : more) {
            const QStringList parts = key.split('/');
            ini.writeString(parts.at(0), parts.at(1), value);
        }
        ini.save();
    }
    // The wizard's choice: a new text mail, or an HTML mail from the file.
    static void chooseText()
    {
        vt::StartWizardChoice() = {};
        vt::StartWizardChoice().NewMailChosen = true;
        vt::StartWizardChoice().TextMailChosen = true;
    }
    static void chooseHtml(const QString &file)
    {
        vt::StartWizardChoice() = {};
        vt::StartWizardChoice().OpenTemplateChosen = true;
        vt::StartWizardChoice().HtmlMailChosen = true;
        vt::MailerForm()->HtmlMailPath = file;
    }
    // Opens the window as the main window does and waits for its activation.
    static vt::TMailerForm *open()
    {
        vt::TMailerForm *w = vt::MailerForm();
        // The activation fills the sender list again.
        child<QComboBox>(w, "ComboBox1")->clear();
        vt::StartMailer();
        if (!QTest::qWaitFor([w] { return w->isVisible() && child<QComboBox>(w, "ComboBox1")->count() > 0; }, 5000))
            QTest::qFail("the serial e-mail window did not open", __FILE__, __LINE__);
        return w;
    }
    // A new text mail with a subject, its window open.
    static vt::TMailerForm *openTextMail(const QString &subject = "s")
    {
        chooseText();
        vt::TMailerForm *w = open();
        child<QLineEdit>(w, "SubjectEdit")->setText(subject);
        return w;
    }
    // Presses "Senden" and waits until the run and the window have ended.
    static bool send(vt::TMailerForm *w)
    {
        child<QPushButton>(w, "SendBitBtn")->click();
        return QTest::qWaitFor([w] { return !w->runActive(); }, 60000);
    }
    static QString today() { return vt::Clock::today().toString("dd.MM.yyyy"); }
};
