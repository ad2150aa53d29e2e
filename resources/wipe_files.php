<?php
// Empties the lists of subscriptions and unsubscriptions after Vantrel took them
// over: only with the list password, and only the part each fetch got (the marks
// upto_in and upto_out it printed), so an entry that came in meanwhile stays.
define('VANTREL_LIB_ONLY', true);
require __DIR__ . '/mailin.php';

header('Content-Type: text/plain; charset=utf-8');
header('Cache-Control: no-store');
if (!vt_password_ok(__DIR__ . '/mailin_pw.php')) {
    echo 'Access denied';
    exit;
}
$in = vt_wipe_list('in', vt_param('upto_in'));
$out = vt_wipe_list('out', vt_param('upto_out'));
if ($in && $out) {
    echo 'OK';
} else {
    http_response_code(409);
    echo 'Die Listen haben sich seit dem Abholen verändert; bitte holen Sie die Einträge erneut ab.';
}
