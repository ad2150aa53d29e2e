<?php
// Vantrel click statistics: the clicks per newsletter and link, for whoever
// gives the password of stats_pw.php (auswertung.php?password=...).
define('VANTREL_STATS_LIB', true);
require __DIR__ . '/stats.php';

function vt_h($text)
{
    return htmlspecialchars($text, ENT_QUOTES, 'UTF-8');
}

// "202403051430" -> "05.03.2024 14:30"
function vt_mailing_label($nid)
{
    if (preg_match('/^([0-9]{4})([0-9]{2})([0-9]{2})([0-9]{2})([0-9]{2})$/', $nid, $m) === 1) {
        return 'Newsletter vom ' . $m[3] . '.' . $m[2] . '.' . $m[1] . ' ' . $m[4] . ':' . $m[5];
    }
    return $nid === '' ? 'Newsletter ohne Kennung' : 'Newsletter ' . $nid;
}

// Clicks per mailing and link: array(nid => array(url => count)), the newest mailing first.
function vt_read_clicks()
{
    $counts = array();
    $h = @fopen(vt_stats_file(), 'rb');
    if ($h === false) {
        return $counts;
    }
    flock($h, LOCK_SH);
    fgets($h); // the guard line
    while (($line = fgets($h)) !== false) {
        $parts = explode('|', rtrim($line, "\n"), 3);
        if (count($parts) !== 3) {
            continue;
        }
        $url = rawurldecode($parts[2]);
        $counts[$parts[0]][$url] = isset($counts[$parts[0]][$url]) ? $counts[$parts[0]][$url] + 1 : 1;
    }
    flock($h, LOCK_UN);
    fclose($h);
    krsort($counts, SORT_STRING);
    return $counts;
}

header('Content-Type: text/html; charset=utf-8');
header('Cache-Control: no-store');
header('Referrer-Policy: no-referrer');
header('X-Content-Type-Options: nosniff');
header('X-Frame-Options: DENY');

$secrets = vt_stats_secrets();
$given = isset($_REQUEST['password']) && is_string($_REQUEST['password']) ? $_REQUEST['password'] : '';
if ($secrets[0] === '' || $given === '' || !hash_equals($secrets[0], $given)) {
    http_response_code(403);
    echo 'Access denied';
    exit;
}

echo "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><meta name=\"referrer\" content=\"no-referrer\">",
    "<title>Newsletter Klickstatistik</title><style>",
    "body{font-family:Verdana,Arial,sans-serif;font-size:13px;color:#163a70;margin:20px}",
    "table{border-collapse:collapse;margin-bottom:24px}td,th{padding:4px 10px;border-bottom:1px solid #d6e2f3;",
    "text-align:left}th{background:#163a70;color:#fff}td.n{text-align:right}</style></head><body>\n",
    "<h2>Newsletter Klickstatistik</h2>\n";
$clicks = vt_read_clicks();
if (count($clicks) === 0) {
    echo "<p>Es wurden noch keine Klicks gezählt.</p>\n";
}
foreach ($clicks as $nid => $links) {
    arsort($links);
    $total = array_sum($links);
    $most = max($links);
    echo '<h3>', vt_h(vt_mailing_label((string)$nid)), ' (', $total, $total === 1 ? ' Klick' : ' Klicks', ')</h3>', "\n",
        "<table><tr><th>Link</th><th>Klicks</th><th></th></tr>\n";
    foreach ($links as $url => $count) {
        $width = max(1, (int)round(300 * $count / $most));
        echo '<tr><td><a href="', vt_h((string)$url), '" rel="noreferrer noopener" target="_blank">',
            vt_h((string)$url), '</a></td><td class="n">', $count, '</td><td><img src="red_point.gif" width="',
            $width, '" height="12" alt=""></td></tr>', "\n";
    }
    echo "</table>\n";
}
echo "</body></html>\n";
