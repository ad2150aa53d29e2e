// The texts of the error reporter: the error dialog's texts in five languages and
// the pages of the send assistant.
#include "crashreport.h"

#include <algorithm>

namespace vt {

CrashDialogTexts CrashTextsForLanguage(int language)
{
    switch (language) {
    case 1:
        return {"%appname% - Ein Fehler ist aufgetreten",
                "Programm fortfahren",
                "Details anzeigen",
                "Programm neu starten",
                "Programm Schliessen",
                "Anzeigen",
                "Drucken",
                "Speichern",
                "Senden",
                "OK",
                "Das Programm scheint eingefroren zu sein",
                "Ein Fehler ist aufgetreten",
                "Die Datei \"%modname%\" scheint defekt zu sein!",
                "Verbinde",
                "Bitte warten",
                "Bitte warten",
                "Setting Fields...",
                "Sende Anhänge...",
                "Senden beendet",
                "Senden fehlgeschlagen",
                "Füge Anhänge hinzu...",
                "Sende...",
                "Searching for mail server...",
                "%appname% BugReport",
                "%appname% - %exceptMsg% - Fehlermeldung - Bugreport ist im Anhang",
                "Authentifiziere...",
                "Sende Mail..."};
    case 2:
        return {"%appname% - An error occured",
                "Continue Program",
                "Show Details",
                "Restart Program",
                "Close Program",
                "Show",
                "Print",
                "Save",
                "Send",
                "OK",
                "The Program seems to be frozen",
                "An error occured",
                "The File \"%modname%\" seems to be damaged!",
                "Connect",
                "Please wait",
                "Please wait",
                "Setting Fields...",
                "Send attachments...",
                "Sending completed",
                "Sending failed",
                "Add attachments...",
                "Send...",
                "Searching for mail server...",
                "%appname% BugReport",
                "%appname% - %exceptMsg% - Error Message \u2013 Bug Report is attached",
                "Authentificate...",
                "Send Mail..."};
    case 3:
        return {"%appname% - Une erreur s'est produite",
                "Continuer le programme",
                "Afficher les détails",
                "Redémarrer le programme",
                "Fermer le programme",
                "Afficher",
                "Imprimer",
                "Enregistrer",
                "Envoyer",
                "OK",
                "Le programme semble bloqué",
                "Une erreur s'est produite",
                "Le fichier \"%modname%\" semble endommagé !",
                "Connexion",
                "Veuillez patienter",
                "Veuillez patienter",
                "Remplissage des champs...",
                "Envoi des pièces jointes...",
                "Envoi terminé",
                "Échec de l'envoi",
                "Ajout des pièces jointes...",
                "Envoi...",
                "Recherche du serveur de messagerie...",
                "%appname% BugReport",
                "%appname% - %exceptMsg% - Message d'erreur - le rapport d'erreur est joint",
                "Authentification...",
                "Envoi du message..."};
    case 4:
        return {"%appname% - Si è verificato un errore",
                "Continua il programma",
                "Mostra dettagli",
                "Riavvia il programma",
                "Chiudi il programma",
                "Mostra",
                "Stampa",
                "Salva",
                "Invia",
                "OK",
                "Il programma sembra bloccato",
                "Si è verificato un errore",
                "Il file \"%modname%\" sembra danneggiato!",
                "Connessione",
                "Attendere prego",
                "Attendere prego",
                "Compilazione dei campi...",
                "Invio degli allegati...",
                "Invio completato",
                "Invio non riuscito",
                "Aggiunta degli allegati...",
                "Invio...",
                "Ricerca del server di posta...",
                "%appname% BugReport",
                "%appname% - %exceptMsg% - Messaggio di errore - il rapporto di errore è allegato",
                "Autenticazione...",
                "Invio del messaggio..."};
    case 5:
        return {"%appname% - Se ha producido un error",
                "Continuar el programa",
                "Mostrar detalles",
                "Reiniciar el programa",
                "Cerrar el programa",
                "Mostrar",
                "Imprimir",
                "Guardar",
                "Enviar",
                "Aceptar",
                "El programa parece estar bloqueado",
                "Se ha producido un error",
                "¡El archivo \"%modname%\" parece estar dañado!",
                "Conectando",
                "Espere, por favor",
                "Espere, por favor",
                "Rellenando campos...",
                "Enviando adjuntos...",
                "Envío completado",
                "Error al enviar",
                "Añadiendo adjuntos...",
                "Enviando...",
                "Buscando el servidor de correo...",
                "%appname% BugReport",
                "%appname% - %exceptMsg% - Mensaje de error - el informe de errores va adjunto",
                "Autenticando...",
                "Enviando correo..."};
    default:
        // The reporter's own texts, in use until the program chooses a language.
        return {"%appname% - error report",
                "continue",
                "details",
                "restart",
                "close",
                "show report",
                "print report",
                "save report",
                "send report",
                "OK",
                "The application does not respond.",
                "An unexpected error stopped the current action.",
                "The file \"%modname%\" is damaged.",
                "connecting...",
                "One moment...",
                "working",
                "filling in the report...",
                "sending the attachments...",
                "The report has been sent.",
                "The report could not be sent.",
                "preparing the attachments...",
                "sending the report",
                "looking for the mail server...",
                "%appname% error report",
                "%appname%: %exceptMsg% (the report follows)",
                "logging in...",
                "sending the mail..."};
    }
}

namespace {

// The texts of one page of the send assistant; a null text leaves that item alone.
// label1 and label2 are the texts of the page's labels Label1 and Label2.
struct PageTexts
{
    const char *title, *message, *next, *cancel, *skip, *label1, *label2, *checkName, *check;
};

const PageTexts *assistantTexts(int language)
{
    static const PageTexts texts[5][3] = {
        {{"Ihre Daten", "Bitte geben Sie Ihre Kontaktdaten ein", "weiter", "Abbrechen", "Überspringen", "Ihr Name",
          "Ihre E-Mail Adresse", "MemCheck", "Daten speichern"},
         {"Weitere Informationen", "Geben Sie uns weitere Informationen", "weiter", "Abbrechen", "Überspringen",
          "Wann ist der Fehler aufgetreten?", nullptr, nullptr, nullptr},
         {"Screenshot hinzufügen", "Dies kann uns evtl weiter helfen", "Senden", "Abbrechen", "Überspringen", nullptr,
          nullptr, "AttachCheck", "Screenshot hinzufügen"}},
        {{"Your Data", "Please insert your contact details", "Continue", "Cancel", "Skip", "Your Name",
          "Your Email Adress", "MemCheck", "Save Data"},
         {"More Informations", "More Informations", "Continue", "Cancel", "Skip", "When did the error occured?",
          nullptr, nullptr, nullptr},
         {"Add screenshot", "Maybe this will help to find a solution", "Send", "Cancel", "Skip", nullptr, nullptr,
          "AttachCheck", "Add screenshot"}},
        {{"Vos coordonnées", "Veuillez saisir vos coordonnées", "Continuer", "Annuler", "Ignorer", "Votre nom",
          "Votre adresse e-mail", "MemCheck", "Enregistrer les données"},
         {"Informations complémentaires", "Donnez-nous plus d'informations", "Continuer", "Annuler", "Ignorer",
          "Quand l'erreur s'est-elle produite ?", nullptr, nullptr, nullptr},
         {"Ajouter une capture d'écran", "Cela peut nous aider à trouver une solution", "Envoyer", "Annuler", "Ignorer",
          nullptr, nullptr, "AttachCheck", "Ajouter une capture d'écran"}},
        {{"I suoi dati", "Inserisca i suoi dati di contatto", "Avanti", "Annulla", "Salta", "Il suo nome",
          "Il suo indirizzo e-mail", "MemCheck", "Salva i dati"},
         {"Ulteriori informazioni", "Ci dia ulteriori informazioni", "Avanti", "Annulla", "Salta",
          "Quando si è verificato l'errore?", nullptr, nullptr, nullptr},
         {"Aggiungi screenshot", "Può aiutarci a trovare una soluzione", "Invia", "Annulla", "Salta", nullptr, nullptr,
          "AttachCheck", "Aggiungi screenshot"}},
        {{"Sus datos", "Introduzca sus datos de contacto", "Continuar", "Cancelar", "Omitir", "Su nombre",
          "Su dirección de correo electrónico", "MemCheck", "Guardar datos"},
         {"Más información", "Denos más información", "Continuar", "Cancelar", "Omitir", "¿Cuándo se produjo el error?",
          nullptr, nullptr, nullptr},
         {"Añadir captura de pantalla", "Esto puede ayudarnos a encontrar una solución", "Enviar", "Cancelar", "Omitir",
          nullptr, nullptr, "AttachCheck", "Añadir captura de pantalla"}},
    };
    return language >= 1 && language <= 5 ? texts[language - 1] : nullptr;
}

QString u8(const char *s)
{
    return QString::fromUtf8(s);
}

} // namespace

void TranslateAssistant(Assistant &assistant, const CrashReportSettings &)
{
    QList<AssistantPage> &pages = assistant.pages;
    // The screenshot page's hint (its Label1) stays blank unless the language has a text for it.
    if (pages.size() >= 3 && pages[2].labels.contains(QStringLiteral("Label1")))
        pages[2].labels[QStringLiteral("Label1")] = QStringLiteral("  ");
    const PageTexts *t = assistantTexts(ReportLanguage());
    if (!t)
        return;
    auto setIfPresent = [](QMap<QString, QString> &map, const char *name, const char *text) {
        if (!name || !text)
            return;
        const QString key = QLatin1String(name);
        if (map.contains(key))
            map[key] = u8(text);
    };
    for (qsizetype i = 0; i < std::min<qsizetype>(3, pages.size()); ++i) {
        AssistantPage &p = pages[i];
        const PageTexts &pt = t[i];
        p.title = u8(pt.title);
        p.message = u8(pt.message);
        p.nextText = u8(pt.next);
        p.cancelText = u8(pt.cancel);
        p.skipText = u8(pt.skip);
        setIfPresent(p.labels, "Label1", pt.label1);
        setIfPresent(p.labels, "Label2", pt.label2);
        setIfPresent(p.checkBoxes, pt.checkName, pt.check);
    }
}

Assistant MakeSendAssistant()
{
    Assistant a;
    AssistantPage contact;
    contact.title = QStringLiteral("Contact");
    contact.message = QStringLiteral("Who may we ask about this error?");
    contact.nextText = QStringLiteral("next");
    contact.cancelText = QStringLiteral("cancel");
    contact.skipText = QStringLiteral("skip");
    contact.labels = {{QStringLiteral("Label1"), QStringLiteral("name")},
                      {QStringLiteral("Label2"), QStringLiteral("e-mail")}};
    contact.checkBoxes = {{QStringLiteral("MemCheck"), QStringLiteral("remember")}};
    AssistantPage details;
    details.title = QStringLiteral("Details");
    details.message = QStringLiteral("What happened before the error?");
    details.nextText = contact.nextText;
    details.cancelText = contact.cancelText;
    details.skipText = contact.skipText;
    details.labels = {{QStringLiteral("Label1"), QStringLiteral("description")}};
    AssistantPage screenshot;
    screenshot.title = QStringLiteral("Screenshot");
    screenshot.message = QStringLiteral("A picture of the screen may show what went wrong.");
    screenshot.nextText = QStringLiteral("send");
    screenshot.cancelText = contact.cancelText;
    screenshot.skipText = contact.skipText;
    screenshot.labels = {{QStringLiteral("Label1"), QStringLiteral("The picture shows the whole screen.")}};
    screenshot.checkBoxes = {{QStringLiteral("AttachCheck"), QStringLiteral("attach a screenshot")}};
    a.pages = {contact, details, screenshot};
    return a;
}

} // namespace vt
