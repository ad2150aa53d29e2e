// The product information under both brands, with and without a reseller id.
#include "productinfo.h"
#include "testfolder.h"

#include <QTest>

using namespace vt;

class TestProductInfo : public QObject
{
    Q_OBJECT
private slots:
    void brands_data()
    {
        QTest::addColumn<QString>("exeName");
        QTest::addColumn<QByteArray>("resellerFile"); // empty: no file at all
        QTest::addColumn<QString>("brandCode");
        QTest::addColumn<QString>("displayName");
        QTest::addColumn<QString>("makerName");
        QTest::addColumn<QString>("resellerId");
        QTest::addColumn<QString>("installDir");

        const QString maker = QStringLiteral("Vantrel Professional");
        QTest::newRow("maker brand") << "vantrel" << QByteArray() << "Halvicor" << maker << "Halvicor"
                                     << ""
                                     << "/opt/vantrel";
        QTest::newRow("reseller brand, mixed case") << "QenTra-vantrel" << QByteArray() << "Qentra"
                                                    << "Qentra-Vantrel"
                                                    << "Qentra"
                                                    << ""
                                                    << "/opt/qentra-vantrel-professional";
        QTest::newRow("reseller brand inside the name") << "myQENTRAapp" << QByteArray() << "Qentra"
                                                        << "Qentra-Vantrel"
                                                        << "Qentra"
                                                        << ""
                                                        << "/opt/qentra-vantrel-professional";
        QTest::newRow("reseller id under the maker brand")
            << "vantrel" << QByteArray("  ABC12 \r\nrest\r\n") << "Halvicor" << maker << "Halvicor"
            << "abc12"
            << "/opt/vantrel";
        // The id brings back the maker's names; the brand code stays the reseller's.
        QTest::newRow("reseller id under the reseller brand")
            << "qentra" << QByteArray("ABC12") << "Qentra" << maker << "Halvicor"
            << "abc12"
            << "/opt/vantrel";
        QTest::newRow("blank reseller id file is no id") << "qentra" << QByteArray(" \r\n") << "Qentra"
                                                         << "Qentra-Vantrel"
                                                         << "Qentra"
                                                         << ""
                                                         << "/opt/qentra-vantrel-professional";
    }
    void brands()
    {
        QFETCH(QString, exeName);
        QFETCH(QByteArray, resellerFile);
        QFETCH(QString, brandCode);
        QFETCH(QString, displayName);
        QFETCH(QString, makerName);
        QFETCH(QString, resellerId);
        QFETCH(QString, installDir);
        TestFolder dir;
        dir.write("prog/ver.ini", "Version 1.0\r\n");
        if (!resellerFile.isEmpty())
            dir.write("brand/" + kResellerIdFileName, resellerFile);
        const TProductInfo p = MakeProductInfo(dir.file("prog/" + exeName), dir.file("brand"));
        QCOMPARE(p.BrandCode, brandCode);
        QCOMPARE(p.DisplayName, displayName);
        QCOMPARE(p.MakerName, makerName);
        QCOMPARE(p.ResellerId, resellerId);
        QCOMPARE(p.DefaultInstallDir, installDir);
        QCOMPARE(p.ProgramDir, dir.file("prog/"));
        QCOMPARE(p.VersionText, QStringLiteral("Version 1.0"));
        // Only the reseller id adds "?id=" to the two page addresses.
        const QString suffix = QStringLiteral("?id=") + resellerId;
        QCOMPARE(p.ProductPageUrl.endsWith(suffix), !resellerId.isEmpty());
        QCOMPARE(p.DesignerPageUrl.endsWith(suffix), !resellerId.isEmpty());
        QVERIFY(p.SerialMailPageUrl.contains(QLatin1String("halvicor")));
    }

    void brandSitesDiffer()
    {
        TestFolder dir;
        const TProductInfo maker = MakeProductInfo(dir.file("vantrel"), QString());
        const TProductInfo reseller = MakeProductInfo(dir.file("qentra-vantrel"), QString());
        QVERIFY(maker.MakerWebSite != reseller.MakerWebSite);
        QVERIFY(maker.SupportEmail != reseller.SupportEmail);
        QVERIFY(maker.ClientSetupUrl != reseller.ClientSetupUrl);
        QVERIFY(reseller.ProductPageUrl.contains(reseller.MakerWebSite));
        QCOMPARE(reseller.SerialMailPageUrl, maker.SerialMailPageUrl); // the maker's page for both
        QCOMPARE(maker.HelpFile, QStringLiteral("help.html"));
        QCOMPARE(maker.DatabasesHelpPage, QStringLiteral("datenbanken.html"));
    }

    void resellerIdIsEncodedInTheAddress()
    {
        TestFolder dir;
        dir.write("brand/" + kResellerIdFileName, "A&B=C D#\r\n");
        const TProductInfo p = MakeProductInfo(dir.file("vantrel"), dir.file("brand"));
        QCOMPARE(p.ResellerId, QStringLiteral("a&b=c d#"));
        QVERIFY(p.ProductPageUrl.endsWith(QLatin1String("?id=a%26b%3Dc%20d%23")));
    }

    void versionText_data()
    {
        QTest::addColumn<QByteArray>("verIni"); // "-" : no file
        QTest::addColumn<QString>("version");
        QTest::newRow("trailing blanks kept") << QByteArray("Version 2.5  \r\nmore\r\n") << "Version 2.5  ";
        QTest::newRow("no line end") << QByteArray("Version 3") << "Version 3";
        QTest::newRow("empty file") << QByteArray("") << "";
        QTest::newRow("missing file") << QByteArray("-") << "";
    }
    void versionText()
    {
        QFETCH(QByteArray, verIni);
        QFETCH(QString, version);
        TestFolder dir;
        if (verIni != "-")
            dir.write("ver.ini", verIni);
        // An empty reseller id file never stops the version from being read.
        dir.write("brand/" + kResellerIdFileName, "");
        QCOMPARE(MakeProductInfo(dir.file("vantrel"), dir.file("brand")).VersionText, version);
    }

    void brandingFolderIsPerUser() { QVERIFY(BrandingFolder().endsWith(QLatin1String("/Halvicor/Branding/"))); }
};

QTEST_GUILESS_MAIN(TestProductInfo)
#include "tst_productinfo.moc"
