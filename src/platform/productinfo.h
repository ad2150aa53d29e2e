#pragma once
// The product information: names, addresses and file names that depend on the
// brand under which the program runs. The brand follows the executable's name
// (a name containing "Qentra" in any case is the reseller's edition); a reseller
// id file placed by an installer in the branding folder switches the addresses
// to the maker's reseller pages for that id. Filled once by the host window
// before any other window is made, read-only afterwards.
#include <QString>

namespace vt {

struct TProductInfo
{
    QString ProgramDir; // folder of the executable, ending in "/"
    QString ResellerId;
    QString VersionText; // first line of "ver.ini", as it stands
    QString ProductLabel;
    QString DisplayName;
    QString MakerName;
    QString SupportEmail;
    QString MakerWebSite;
    QString ProductPageUrl;
    QString DesignerPageUrl;
    QString ClientSetupUrl;
    QString SerialMailPageUrl;
    QString HeadImage;
    QString AboutImage;
    QString WizardImage;
    QString HelpFile;
    QString AccessHelpPage;
    QString TextImportHelpPage;
    QString ExcelHelpPage;
    QString DatabasesHelpPage;
    QString BrandCode;
    QString DefaultInstallDir;
    QString UpdateServer;      // host name of the update server
    QString RepairToolPageUrl; // the maker's page about the database repair tool
    bool operator==(const TProductInfo &) const = default;
};

inline const QString kMakerBrandCode = QStringLiteral("Halvicor");
inline const QString kResellerBrandCode = QStringLiteral("Qentra");
// The file in the branding folder whose first line is the reseller's id.
inline const QString kResellerIdFileName = QStringLiteral("reseller.id");

// The record for an executable path and a branding folder (which may not exist).
// An empty or unreadable reseller id file counts as no reseller id, and
// "ver.ini" is read in every case.
TProductInfo MakeProductInfo(const QString &exePath, const QString &brandingFolder);

// The per-user folder that holds the reseller id file, ending in "/".
QString BrandingFolder();

// The record of this run. Empty until the host window has set it.
const TProductInfo &ProductInfo();
void SetProductInfo(const TProductInfo &info);

} // namespace vt
