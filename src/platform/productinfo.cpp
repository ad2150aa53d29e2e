#include "productinfo.h"
#include "paths.h"
#include "text.h"
#include "textfile.h"
#include "windowsinfo.h"

#include <QFileInfo>
#include <QUrl>
#include <QUrlQuery>

namespace vt {

namespace {

TProductInfo g_info;

const QString kMakerSite = QStringLiteral("www.halvicor.example");
const QString kResellerSite = QStringLiteral("www.qentra.example");

QString page(const QString &site, const QString &path)
{
    return QStringLiteral("https://") + site + path;
}

// A page address with "?id=" and the reseller id, encoded whatever the id holds.
QString withResellerId(const QString &address, const QString &id)
{
    QUrl url(address);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("id"), QString::fromLatin1(QUrl::toPercentEncoding(id)));
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}

void applyMakerBrand(TProductInfo &p)
{
    p.DisplayName = QStringLiteral("Vantrel ") + p.ProductLabel;
    p.MakerName = QStringLiteral("Halvicor");
    p.SupportEmail = QStringLiteral("support@halvicor.example");
    p.MakerWebSite = kMakerSite;
    p.ProductPageUrl = page(kMakerSite, QStringLiteral("/vantrel/"));
    p.DesignerPageUrl = page(kMakerSite, QStringLiteral("/layoutwerk/"));
    p.ClientSetupUrl = page(kMakerSite, QStringLiteral("/download/vantrel-client.tar.gz"));
    p.DefaultInstallDir = QStringLiteral("/opt/vantrel");
}

void applyResellerBrand(TProductInfo &p)
{
    p.DisplayName = QStringLiteral("Qentra-Vantrel");
    p.MakerName = QStringLiteral("Qentra");
    p.SupportEmail = QStringLiteral("support@qentra.example");
    p.MakerWebSite = kResellerSite;
    p.ProductPageUrl = page(kResellerSite, QStringLiteral("/vantrel/"));
    p.DesignerPageUrl = page(kResellerSite, QStringLiteral("/layoutwerk/"));
    p.ClientSetupUrl = page(kResellerSite, QStringLiteral("/download/vantrel-client.tar.gz"));
    p.DefaultInstallDir = QStringLiteral("/opt/qentra-vantrel-professional");
}

void applyResellerId(TProductInfo &p, const QString &id)
{
    applyMakerBrand(p);
    p.ResellerId = id;
    p.ProductPageUrl = withResellerId(page(kMakerSite, QStringLiteral("/reseller/vantrel.php")), id);
    p.DesignerPageUrl = withResellerId(page(kMakerSite, QStringLiteral("/reseller/layoutwerk.php")), id);
}

} // namespace

TProductInfo MakeProductInfo(const QString &exePath, const QString &brandingFolder)
{
    TProductInfo p;
    const QFileInfo exe(exePath);
    p.ProgramDir = WithTrailingSlash(exe.absolutePath());
    p.BrandCode = AsciiUpper(exe.fileName()).contains(QLatin1String("QENTRA")) ? kResellerBrandCode
                                                                                 : kMakerBrandCode;
    p.ProductLabel = QStringLiteral("Professional");
    p.SerialMailPageUrl = page(kMakerSite, QStringLiteral("/serienmail/"));
    p.HeadImage = QStringLiteral("head.png");
    p.AboutImage = QStringLiteral("about.png");
    p.WizardImage = QStringLiteral("wizard.png");
    p.HelpFile = QStringLiteral("help.html");
    p.AccessHelpPage = QStringLiteral("access.html");
    p.TextImportHelpPage = QStringLiteral("textimport.html");
    p.ExcelHelpPage = QStringLiteral("excel.html");
    p.DatabasesHelpPage = QStringLiteral("datenbanken.html");

    if (p.BrandCode == kResellerBrandCode)
        applyResellerBrand(p);
    else
        applyMakerBrand(p);

    if (!brandingFolder.isEmpty()) {
        const QString id = AsciiLower(Trimmed(ReadFirstLine(PathJoin(brandingFolder, kResellerIdFileName))));
        if (!id.isEmpty())
            applyResellerId(p, id);
    }

    p.VersionText = ReadFirstLine(p.ProgramDir + QStringLiteral("ver.ini"));
    return p;
}

QString BrandingFolder()
{
    return WithTrailingSlash(PathJoin(WindowsInfo().AppDataDir, QStringLiteral("Halvicor/Branding")));
}

const TProductInfo &ProductInfo()
{
    return g_info;
}

void SetProductInfo(const TProductInfo &info)
{
    g_info = info;
}

} // namespace vt
