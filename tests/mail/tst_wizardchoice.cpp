// The start wizard's rules apart from its window: what a panel click sets and
// clears, when "Weiter" may be pressed, which boxes show, and which one thing
// "Weiter" then does.
#include "wizardchoice.h"

#include <QTest>

using namespace vt;
using P = WizardPanel;

Q_DECLARE_METATYPE(QList<vt::WizardPanel>)
Q_DECLARE_METATYPE(vt::WizardAction)

namespace {

TStartWizardChoice clicked(const QList<WizardPanel> &panels)
{
    TStartWizardChoice c;
    for (WizardPanel p : panels)
        ChoosePanel(c, p);
    return c;
}

} // namespace

class TestWizardChoice : public QObject
{
    Q_OBJECT

private slots:
    void paths_data()
    {
        QTest::addColumn<QList<WizardPanel>>("panels");
        QTest::addColumn<bool>("clientStarted");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("sample");
        QTest::addColumn<bool>("weiter");
        QTest::addColumn<WizardAction>("action");
        QTest::addColumn<QString>("boxes"); // o open, n new, m sample box; t h s the step-2 panels

        const QList<WizardPanel> newText{P::NeueMail, P::TextMail}, newHtml{P::NeueMail, P::HtmlMail},
            openText{P::VorlageOeffnen, P::TextMail}, openHtml{P::VorlageOeffnen, P::HtmlMail},
            sample{P::VorlageOeffnen, P::VorlagenMail};
        QTest::newRow("new text mail needs no file") << newText << false << "" << "" << true
                                                     << WizardAction::NewTextMail << "th";
        QTest::newRow("new HTML mail before the mail client") << newHtml << false << "" << "" << false
                                                              << WizardAction::NewHtmlMail << "nth";
        QTest::newRow("new HTML mail after the mail client") << newHtml << true << "" << "" << true
                                                             << WizardAction::NewHtmlMail << "nth";
        QTest::newRow("text template without a file") << openText << false << "" << "" << false
                                                      << WizardAction::OpenTextTemplate << "oths";
        QTest::newRow("text template") << openText << false << "/b/a.mail" << "" << true
                                       << WizardAction::OpenTextTemplate << "oths";
        QTest::newRow("HTML mail file") << openHtml << false << "/b/a.eml" << "" << true
                                        << WizardAction::OpenHtmlMail << "oths";
        QTest::newRow("sample without a file") << sample << false << "" << "" << false << WizardAction::SampleMail
                                               << "mths";
        // A file left in the other box from an earlier use does not count for the sample.
        QTest::newRow("sample") << sample << false << "/b/old.eml" << "/v/Bsp1.eml" << true
                                << WizardAction::SampleMail << "mths";
        QTest::newRow("HTML import") << QList<WizardPanel>{P::ImportMail} << false << "" << "" << true
                                     << WizardAction::ImportHtml << "";
        // The step-2 choice of an earlier use stays, but a new step-1 choice decides.
        QTest::newRow("import after a text template") << QList<WizardPanel>{P::VorlageOeffnen, P::TextMail, P::ImportMail}
                                                      << false << "/b/a.mail" << "" << true << WizardAction::ImportHtml
                                                      << "";
        QTest::newRow("nothing chosen") << QList<WizardPanel>{} << false << "/b/a.mail" << "/v/x.eml" << false
                                        << WizardAction::None << "";
    }

    void paths()
    {
        QFETCH(QList<WizardPanel>, panels);
        QFETCH(bool, clientStarted);
        QFETCH(QString, file);
        QFETCH(QString, sample);
        TStartWizardChoice c = clicked(panels);
        c.MailClientStarted = clientStarted;
        const WizardView v = EvaluateWizard(c, file, sample);
        QTEST(v.weiterEnabled, "weiter");
        QTEST(DecideWeiter(c), "action");
        QString boxes;
        for (auto [on, letter] : {std::pair{v.openBoxVisible, 'o'}, {v.newBoxVisible, 'n'}, {v.sampleBoxVisible, 'm'},
                                  {v.textPanelVisible, 't'}, {v.htmlPanelVisible, 'h'}, {v.samplePanelVisible, 's'}})
            if (on)
                boxes += QLatin1Char(letter);
        QTEST(boxes, "boxes");
    }

    void clicksSetAndClearTheirGroupOnly()
    {
        TStartWizardChoice c;
        QCOMPARE(ChoosePanel(c, P::NeueMail), 2);
        QCOMPARE(ChoosePanel(c, P::HtmlMail), 3);
        c.MailClientStarted = true;
        QCOMPARE(ChoosePanel(c, P::ImportMail), 3);
        QVERIFY(c.ImportHtmlChosen && !c.NewMailChosen && !c.OpenTemplateChosen);
        // Step 2 is independent of step 1 and keeps the mail client's start.
        QVERIFY(c.HtmlMailChosen && c.MailClientStarted);
        // Every step-2 choice forgets the mail client, even the same choice again.
        QCOMPARE(ChoosePanel(c, P::HtmlMail), 3);
        QVERIFY(c.HtmlMailChosen && !c.MailClientStarted);
        ChoosePanel(c, P::VorlagenMail);
        QVERIFY(c.SampleTemplateChosen && !c.HtmlMailChosen && !c.TextMailChosen);
        QVERIFY(PanelChosen(c, P::VorlagenMail) && PanelChosen(c, P::ImportMail) && !PanelChosen(c, P::TextMail));
    }

    void hintOnlyForHtmlMails()
    {
        TStartWizardChoice c = clicked({P::VorlageOeffnen, P::HtmlMail});
        QVERIFY(EvaluateWizard(c, {}, {}).extraOpenText.startsWith(
            QStringLiteral("Sie können hierzu .EML-Dateien (Windows Mail/Thunderbird)")));
        ChoosePanel(c, P::TextMail);
        QVERIFY(EvaluateWizard(c, {}, {}).extraOpenText.isEmpty());
    }

    void markedCountText()
    {
        QCOMPARE(MarkedCountText(1), QStringLiteral("Serien-E-Mail wird an einen markierten Datensatz gesendet."));
        QCOMPARE(MarkedCountText(2), QStringLiteral("Serien-E-Mail wird an 2 markierte Datensätze gesendet."));
    }
};

QTEST_GUILESS_MAIN(TestWizardChoice)
#include "tst_wizardchoice.moc"
