<?php
// Empties the lists of subscriptions and unsubscriptions after Vantrel took them
// over: only with the list password, and only the part each fetch got (the marks
// upto_in and upto_out it printed), so an entry that came in meanwhile stays.
// Both lists or neither: both are locked and both marks checked before either
// is touched. The answer is "OK", or a first line "wiped=<none|in|unknown>
// <reason>" that tells the program what was emptied.
define('VANTREL_LIB_ONLY', true);
require __DIR__ . '/mailin.php';

header('Content-Type: text/plain; charset=utf-8');
header('Cache-Control: no-store');
if (!vt_password_ok(__DIR__ . '/mailin_pw.php')) {
    echo 'Access denied';
    exit;
}

// The length of the part of an opened list that the mark names, or false when the
// mark does not fit the list (another wipe came first, the file was replaced).
function vt_marked_length($data, $mark)
{
    if (preg_match('/^([0-9a-f]+):([0-9]+)$/', $mark, $m) !== 1 || !hash_equals($data[1], $m[1])) {
        return false;
    }
    $length = (int)$m[2];
    $entries = $data[2];
    if ($length > strlen($entries) || ($length > 0 && $entries[$length - 1] !== "\n")) {
        return false;
    }
    return $length;
}

// Removes the first length bytes of an opened list; a list changes its generation whenever it is cut.
function vt_cut_list($data, $length)
{
    return $length === 0 || vt_rewrite_data($data[0], bin2hex(random_bytes(8)), (string)substr($data[2], $length));
}

function vt_wipe_answer($code, $answer)
{
    http_response_code($code);
    echo $answer, "\r\n";
}

// Always the subscriptions first, so that two wipes at the same time cannot wait for each other.
$in = vt_open_data(vt_list_name('in'));
$out = $in === null ? null : vt_open_data(vt_list_name('out'));
// The marks of the last wipe that was done: a request sent again (the connection broke
// before its answer came) finds its work done instead of marks that no longer fit.
$last = $out === null ? null : vt_open_data('email_wiped');
$marks = vt_param('upto_in') . ' ' . vt_param('upto_out');
if ($in === null || $out === null || $last === null) {
    vt_wipe_answer(500, 'wiped=none unreadable');
} else {
    $inLength = vt_marked_length($in, vt_param('upto_in'));
    $outLength = vt_marked_length($out, vt_param('upto_out'));
    if ($inLength === false || $outLength === false) {
        if (hash_equals(trim($last[2]), $marks)) {
            echo 'OK';
        } else {
            vt_wipe_answer(409, 'wiped=none changed');
        }
    } elseif (!vt_cut_list($in, $inLength)) {
        // A write that failed after the file was emptied leaves it as far as it got.
        vt_wipe_answer(500, 'wiped=unknown unwritable');
    } elseif (!vt_cut_list($out, $outLength)) {
        vt_wipe_answer(500, 'wiped=in unwritable');
    } else {
        vt_rewrite_data($last[0], $last[1], $marks . "\n");
        echo 'OK';
    }
}
vt_close_data($last);
vt_close_data($out);
vt_close_data($in);
