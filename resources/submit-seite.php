<?php
// The page a visitor sees after sending one of the forms (mailin.php sends him here).
define('VANTREL_LIB_ONLY', true);
require __DIR__ . '/mailin.php';

$messages = array(
    'delete' => 'Ihre E-Mail-Adresse wurde aus dem Verteiler ausgetragen.',
    'confirmed' => 'Vielen Dank! Ihre Bestellung des Newsletters ist bestätigt.',
    'expired' => 'Dieser Bestätigungslink ist abgelaufen oder wurde bereits verwendet. Bitte bestellen Sie den ' .
        'Newsletter noch einmal.',
    'invalid' => 'Die angegebene E-Mail-Adresse ist ungültig. Bitte gehen Sie zurück und prüfen Sie Ihre Eingabe.',
    'busy' => 'Von Ihrem Anschluss kamen in der letzten Stunde zu viele Newsletter-Bestellungen. Bitte versuchen ' .
        'Sie es später noch einmal.',
    'error' => 'Ihre Eingabe konnte leider nicht gespeichert werden. Bitte versuchen Sie es später noch einmal.',
);
$msg = vt_param('msg');
if ($msg === 'sign') {
    $text = vt_read_text('subscribemessage.txt', 'Vielen Dank für Ihr Interesse.');
} else {
    $text = isset($messages[$msg]) ? $messages[$msg] : 'Newsletter';
}
header('Cache-Control: no-store');
vt_page('Newsletter', '<p>' . vt_h($text) . '</p>');
