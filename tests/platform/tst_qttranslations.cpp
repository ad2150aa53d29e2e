// Qt's standard buttons, file dialog and context menus in German, and the
// translations of the default locale where the German ones are missing.
#include "qttranslations.h"
#include "testfolder.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace vt;

namespace {

QStringList buttonTexts(QMessageBox::StandardButtons buttons)
{
    QMessageBox box;
    box.setStandardButtons(buttons);
    QStringList out;
    for (QAbstractButton *b : box.buttons())
        out.append(b->text());
    out.sort();
    return out;
}

QStringList menuTexts(QWidget *w)
{
    QStringList out;
    const std::unique_ptr<QMenu> menu(qobject_cast<QLineEdit *>(w)->createStandardContextMenu());
    for (QAction *a : menu->actions())
        if (!a->isSeparator())
            out.append(a->text().section(QLatin1Char('\t'), 0, 0));
    return out;
}

} // namespace

class TestQtTranslations : public QObject
{
    Q_OBJECT
private slots:
    void germanDialogsAndButtons()
    {
        QVERIFY2(QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm"),
                 "Qt's German translations are missing: install qt6-translations-l10n (scripts/setup)");
        QCOMPARE(InstallQtTranslations(), QStringLiteral("de_DE"));
        QCOMPARE(buttonTexts(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel),
                 (QStringList{"&Ja", "&Nein", "Abbrechen"}));

        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        QCOMPARE(dialog.findChild<QLabel *>("lookInLabel")->text(), QStringLiteral("Suchen in:"));
        QCOMPARE(dialog.findChild<QLabel *>("fileNameLabel")->text(), QStringLiteral("Datei&name:"));

        QLineEdit edit;
        const QStringList menu = menuTexts(&edit);
        QVERIFY2(menu.contains("&Rückgängig") && menu.contains("Einf&ügen") && menu.contains("Alles auswählen"),
                 qPrintable(menu.join(", ")));
    }

    // Without German translations: the default locale's, else Qt's English.
    void fallback()
    {
        TestFolder only;
        QVERIFY(QFile::copy(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_fr.qm",
                            only.file("qtbase_fr.qm")));
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        QCOMPARE(InstallQtTranslations(only.path()), QStringLiteral("fr_FR"));
        QCOMPARE(buttonTexts(QMessageBox::Yes | QMessageBox::No), (QStringList{"&Non", "&Oui"}));
        TestFolder none;
        QCOMPARE(InstallQtTranslations(none.path()), QString());
        QCOMPARE(buttonTexts(QMessageBox::Yes | QMessageBox::No), (QStringList{"&No", "&Yes"}));
        QLocale::setDefault(QLocale::system());
    }
};

QTEST_MAIN(TestQtTranslations)
#include "tst_qttranslations.moc"
