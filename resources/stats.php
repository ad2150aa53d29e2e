<?php
// Vantrel click statistics: every link of a tracked newsletter leads here,
//   stats.php?nid=<mailing>&url=<address, percent-encoded>&sig=<signature>
// The signature is the HMAC-SHA256 (hexadecimal) of the mailing, a line feed and
// the address, keyed with one of the keys of stats_pw.php: $my_keys holds every
// key Vantrel has signed links to this folder with (several databases share the
// folder, and older mailings keep the key they were sent with); a stats_pw.php
// of before holds $my_key alone. Only a signed link to an http or https address
// is counted and redirected; anything else is refused, so this script can never
// send visitors to a site the sender did not link to.
//
// Clicks are appended to stats_clicks.dat.php, whose first line ends every
// request for it, so it can be neither read nor run over the web; auswertung.php
// shows them to whoever has the statistics password.
//
// auswertung.php includes this file with VANTREL_STATS_LIB defined.

ini_set('display_errors', '0');

// Every answer carries its length: some clients send a request again when its
// answer ends only with the connection, and a click would count twice.
function vt_stats_finish()
{
    $out = '';
    while (ob_get_level() > 0) {
        $out = (string)ob_get_clean() . $out;
    }
    if (!headers_sent() && !ini_get('zlib.output_compression')) {
        header('Content-Length: ' . strlen($out));
    }
    echo $out;
}
ob_start();
register_shutdown_function('vt_stats_finish');

const VT_STATS_GUARD = '<?php exit; ?>';
const VT_STATS_MAX_BYTES = 52428800;
const VT_STATS_MAX_URL = 4096;

// The values of stats_pw.php: array(password, keys); an empty password and no
// keys when it cannot be read.
function vt_stats_secrets()
{
    $my_pass = '';
    $my_key = '';
    $my_keys = array();
    $file = __DIR__ . '/stats_pw.php';
    if (is_file($file)) {
        include $file;
    }
    $keys = array();
    foreach (array_merge(array($my_key), is_array($my_keys) ? $my_keys : array()) as $key) {
        if (is_string($key) && $key !== '' && !in_array($key, $keys, true)) {
            $keys[] = $key;
        }
    }
    return array(is_string($my_pass) ? $my_pass : '', $keys);
}

// Whether one of the keys signed the mailing's link.
function vt_stats_signed($keys, $nid, $url, $sig)
{
    $signed = false;
    foreach ($keys as $key) {
        // Every key is tried, so the time taken tells nothing about which one fits.
        $signed = hash_equals(hash_hmac('sha256', $nid . "\n" . $url, $key), $sig) || $signed;
    }
    return $signed;
}

function vt_stats_file()
{
    return __DIR__ . '/stats_clicks.dat.php';
}

// The parameters as they stand in the query, each decoded once; a "+" stays a "+".
function vt_stats_query()
{
    $out = array();
    $query = isset($_SERVER['QUERY_STRING']) ? (string)$_SERVER['QUERY_STRING'] : '';
    foreach (explode('&', $query) as $pair) {
        $eq = strpos($pair, '=');
        $name = $eq === false ? $pair : substr($pair, 0, $eq);
        if ($name !== '' && !isset($out[$name])) {
            $out[$name] = $eq === false ? '' : rawurldecode((string)substr($pair, $eq + 1));
        }
    }
    return $out;
}

function vt_stats_refuse()
{
    http_response_code(403);
    header('Content-Type: text/html; charset=utf-8');
    echo "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Link ungültig</title></head><body>",
        '<p>Dieser Link ist ungültig oder wurde verändert und wird deshalb nicht weitergeleitet.</p>',
        "</body></html>\n";
}

function vt_stats_count($nid, $url)
{
    $h = @fopen(vt_stats_file(), 'c+b');
    if ($h === false) {
        return;
    }
    if (flock($h, LOCK_EX)) {
        fseek($h, 0, SEEK_END);
        $size = ftell($h);
        if ($size === 0) {
            fwrite($h, VT_STATS_GUARD . "\n");
        }
        if ($size < VT_STATS_MAX_BYTES) {
            fwrite($h, $nid . '|' . time() . '|' . rawurlencode($url) . "\n");
        }
        fflush($h);
        flock($h, LOCK_UN);
    }
    fclose($h);
}

function vt_stats_main()
{
    header('Cache-Control: no-store');
    $q = vt_stats_query();
    $nid = isset($q['nid']) ? $q['nid'] : '';
    $url = isset($q['url']) ? $q['url'] : '';
    $sig = isset($q['sig']) ? strtolower($q['sig']) : '';
    $secrets = vt_stats_secrets();
    if (preg_match('/^[0-9]{0,12}$/', $nid) !== 1 || preg_match('/^[0-9a-f]{64}$/', $sig) !== 1 ||
        strlen($url) > VT_STATS_MAX_URL || preg_match('~^https?://[^\x00-\x1F\x7F]+$~i', $url) !== 1 ||
        !vt_stats_signed($secrets[1], $nid, $url, $sig)) {
        vt_stats_refuse();
        return;
    }
    vt_stats_count($nid, $url);
    header('Location: ' . $url, true, 302);
    header('Content-Type: text/html; charset=utf-8');
    echo '<a href="', htmlspecialchars($url, ENT_QUOTES, 'UTF-8'), '">', htmlspecialchars($url, ENT_QUOTES, 'UTF-8'),
        '</a>';
}

if (!defined('VANTREL_STATS_LIB')) {
    vt_stats_main();
}
