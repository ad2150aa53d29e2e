<?php
// Empties the lists of subscriptions and unsubscriptions after Vantrel took them
// over: only with the list password, and only the part each fetch got (the marks
// upto_in and upto_out it printed), so an entry that came in meanwhile stays.
// Both lists or neither: both are locked and both marks checked before either
// is touched. The answer is "OK", or a first line "wiped=<none|in>
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
    if (preg_match('/^([0-9a-f]+):([0-9]+)$/', $mark, $m) !== 1 || !hash_equals($data['generation'], $m[1])) {
        return false;
    }
    $length = (int)$m[2];
    $entries = $data['entries'];
    if ($length > strlen($entries) || ($length > 0 && $entries[$length - 1] !== "\n")) {
        return false;
    }
    return $length;
}

// Writes beside an opened list what stays of it without its first length bytes;
// a list changes its generation whenever it is cut. True when nothing is to be cut.
function vt_stage_cut($data, $length)
{
    return $length === 0 || vt_stage_data($data, bin2hex(random_bytes(8)), (string)substr($data['entries'], $length));
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
        if (hash_equals(trim($last['entries']), $marks)) {
            echo 'OK';
        } else {
            vt_wipe_answer(409, 'wiped=none changed');
        }
    } elseif (!vt_stage_cut($in, $inLength) || !vt_stage_cut($out, $outLength) ||
        !vt_stage_data($last, $last['generation'], $marks . "\n")) {
        // Every new content is written completely before any takes a list's place.
        vt_discard_data($in);
        vt_discard_data($out);
        vt_wipe_answer(500, 'wiped=none unwritable');
    } elseif ($inLength > 0 && !vt_commit_data($in)) {
        vt_discard_data($out);
        vt_discard_data($last);
        vt_wipe_answer(500, 'wiped=none unwritable');
    } elseif ($outLength > 0 && !vt_commit_data($out)) {
        vt_discard_data($last);
        vt_wipe_answer(500, ($inLength > 0 ? 'wiped=in' : 'wiped=none') . ' unwritable');
    } else {
        // Both lists are cut; without the marks a request sent again is only told that they changed.
        vt_commit_data($last);
        echo 'OK';
    }
}
vt_close_data($last);
vt_close_data($out);
vt_close_data($in);
