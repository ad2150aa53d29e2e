<?php
// Vantrel newsletter subscriptions on the web server.
//
// The forms subscribe.html and unsubscribe.html send their entries here
// (send=ok, action=sign or delete, Mail and the offered fields). A subscription
// with double opt-in waits in email_pending.dat.php until the link of the
// confirmation mail is opened (within 14 days); then, like every subscription
// without double opt-in, it becomes a line of email_list_in.dat.php. An address
// waits there once and gets one confirmation mail while it waits: asking again
// shows the same page and mails nothing. One requesting machine starts at most
// VT_MAILS_PER_HOUR confirmations an hour (email_rate.dat.php), so neither a
// stranger's mailbox nor the pending file can be flooded from one place.
// Unsubscriptions become lines of email_list_out.dat.php. Vantrel fetches the
// lists through email_list_in.php and email_list_out.php and empties what it
// fetched through wipe_files.php, both only with the list password.
//
// Lines of the lists (UTF-8, one entry a line):
//   subscription    address|time|Anrede|Betreff|Name|Field=value...|time
//   unsubscription  address|time
// time is the UTC time as YYYYMMDDhhmmss and six digits of microseconds, so the
// latest line of an address sorts last. Values never hold a line break, "|",
// "\", "<", ">", '"' or "="; blanks become "_" and an empty value is "_".
//
// The data files start with a line that ends every request for them at once,
// so they can be neither read nor run over the web. That line also holds a
// generation that changes at every wipe: a wipe names the generation and the
// length it fetched, so it removes exactly what was fetched and never an entry
// that came in later.
//
// Other files include this one with VANTREL_LIB_ONLY defined to use its functions.

ini_set('display_errors', '0');

// Every answer carries its length: some clients send a request again when its
// answer ends only with the connection, and a subscription would count twice.
function vt_finish()
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
register_shutdown_function('vt_finish');

const VT_EXPIRY_SECONDS = 1209600; // 14 days
const VT_MAX_VALUE = 80;
const VT_MAX_DATA_BYTES = 20971520;
const VT_GUARD = '<?php exit; ?>';
const VT_MAILS_PER_HOUR = 10;

// A request value, or '' when it is missing or not a single text.
function vt_param($name)
{
    return isset($_REQUEST[$name]) && is_string($_REQUEST[$name]) ? $_REQUEST[$name] : '';
}

function vt_h($text)
{
    return htmlspecialchars($text, ENT_QUOTES, 'UTF-8');
}

// The same rule as the program's address check: something before the first "@",
// at least four characters after it with a "." followed by two or more, no "..",
// and only letters, digits, ".", "_" and "-" in both parts.
function vt_valid_address($address)
{
    if (!is_string($address) || strlen($address) > 254 || strpos($address, '..') !== false) {
        return false;
    }
    $at = strpos($address, '@');
    if ($at === false || $at === 0) {
        return false;
    }
    $local = substr($address, 0, $at);
    $domain = (string)substr($address, $at + 1);
    $dot = strpos($domain, '.');
    if (strlen($domain) < 4 || $dot === false || strlen($domain) - $dot - 1 < 2) {
        return false;
    }
    return preg_match('/^[A-Za-z0-9._-]*$/', $local) === 1 && preg_match('/^[A-Za-z0-9._-]*$/', $domain) === 1;
}

// Text as UTF-8: forms pasted into pages of another encoding send Windows-1252.
function vt_utf8($text)
{
    if (preg_match('//u', $text) === 1) {
        return $text;
    }
    $converted = @iconv('CP1252', 'UTF-8//IGNORE', $text);
    return $converted === false ? '' : $converted;
}

// A value as it may stand in a list line.
function vt_clean($value)
{
    $v = vt_utf8((string)$value);
    $v = preg_replace('/[\x00-\x1F\x7F\x{80}-\x{9F}|\\\\<>"=]/u', '', $v);
    if (!is_string($v)) {
        return '_';
    }
    while (stripos($v, 'access denied') !== false) {
        $v = str_ireplace('access denied', '', $v);
    }
    $v = str_replace(' ', '_', trim($v));
    if (preg_match('/^.{0,' . VT_MAX_VALUE . '}/us', $v, $m) === 1) {
        $v = $m[0];
    }
    return $v === '' ? '_' : $v;
}

function vt_now()
{
    $t = microtime(true);
    return gmdate('YmdHis', (int)$t) . sprintf('%06d', (int)(($t - floor($t)) * 1000000));
}

function vt_data_file($name)
{
    return __DIR__ . '/' . $name . '.dat.php';
}

// A data file is never written in place: its new content goes into a file beside
// it, which takes its place only once it was written completely. A write that
// fails half-way (a full disk, a quota, a limit on file sizes, a worker that is
// ended) leaves the old content whole. So the lock is held on a file of its own
// that is never replaced. Both end in .php and the new content starts with the
// guard line, so a web server never hands either out as text.
function vt_lock_file($name)
{
    return __DIR__ . '/' . $name . '.lock.dat.php';
}

function vt_staged_file($name)
{
    return __DIR__ . '/' . $name . '.new.dat.php';
}

function vt_list_name($which)
{
    return $which === 'out' ? 'email_list_out' : 'email_list_in';
}

// Opens a data file locked for this request; made with its first line when missing.
// Returns array('lock', 'name', 'generation', 'entries', 'length') or null; length is
// the bytes of the file that count (the first line and the entries).
function vt_open_data($name)
{
    $lock = @fopen(vt_lock_file($name), 'c');
    if ($lock === false) {
        return null;
    }
    if (!flock($lock, LOCK_EX)) {
        fclose($lock);
        return null;
    }
    $data = array('lock' => $lock, 'name' => $name, 'generation' => '', 'entries' => '', 'length' => 0);
    // What a worker that was ended while writing left beside the file.
    $staged = vt_staged_file($name);
    if (file_exists($staged)) {
        @unlink($staged);
    }
    $file = vt_data_file($name);
    $content = file_exists($file) ? @file_get_contents($file) : '';
    if ($content === false) {
        vt_close_data($data);
        return null;
    }
    $nl = strpos($content, "\n");
    if ($content === '' || $nl === false || strpos($content, VT_GUARD) !== 0) {
        $data['generation'] = bin2hex(random_bytes(8));
        if (!vt_rewrite_data($data, $data['generation'], '')) {
            vt_close_data($data);
            return null;
        }
        $data['length'] = strlen(VT_GUARD . $data['generation'] . "\n");
        return $data;
    }
    $data['generation'] = preg_replace('/[^0-9a-f]/', '', substr($content, strlen(VT_GUARD), $nl - strlen(VT_GUARD)));
    // A last line without its end is what an append that was ended half-way left: it was never stored.
    $data['length'] = strrpos($content, "\n") + 1;
    $data['entries'] = (string)substr($content, $nl + 1, $data['length'] - $nl - 1);
    return $data;
}

// Writes the new content of an opened data file beside it. False, with nothing
// left behind, when it could not be written completely.
function vt_stage_data($data, $generation, $entries)
{
    $staged = vt_staged_file($data['name']);
    $h = @fopen($staged, 'wb');
    if ($h === false) {
        return false;
    }
    $content = VT_GUARD . $generation . "\n" . $entries;
    $ok = @fwrite($h, $content) === strlen($content) && fflush($h);
    // The content is on the disk before its name is.
    $ok = $ok && (!function_exists('fsync') || @fsync($h));
    $ok = fclose($h) && $ok;
    $perms = $ok ? @fileperms(vt_data_file($data['name'])) : false;
    if ($perms !== false) {
        @chmod($staged, $perms & 0777);
    }
    if (!$ok) {
        @unlink($staged);
    }
    return $ok;
}

// Puts the staged content in the place of the data file; false when it stays as it was.
function vt_commit_data($data)
{
    if (@rename(vt_staged_file($data['name']), vt_data_file($data['name']))) {
        return true;
    }
    vt_discard_data($data);
    return false;
}

function vt_discard_data($data)
{
    @unlink(vt_staged_file($data['name']));
}

// Replaces the content of an opened data file; false when it keeps the old one.
function vt_rewrite_data($data, $generation, $entries)
{
    return vt_stage_data($data, $generation, $entries) && vt_commit_data($data);
}

function vt_close_data($data)
{
    if ($data !== null) {
        flock($data['lock'], LOCK_UN);
        fclose($data['lock']);
    }
}

// Adds a line to a data file in place (rewriting it whole for every entry would
// cost a copy of the file); a line that was not written completely is taken back.
function vt_append_line($name, $line)
{
    $data = vt_open_data($name);
    if ($data === null) {
        return false;
    }
    $ok = false;
    $h = strlen($data['entries']) + strlen($line) < VT_MAX_DATA_BYTES ? @fopen(vt_data_file($name), 'r+b') : false;
    if ($h !== false) {
        $length = $data['length'];
        $ok = ftruncate($h, $length) && fseek($h, $length) === 0 && @fwrite($h, $line . "\n") === strlen($line) + 1 &&
            fflush($h);
        if (!$ok) {
            ftruncate($h, $length);
        }
        fclose($h);
    }
    vt_close_data($data);
    return $ok;
}

// Prints a list for the program: its entries, then the mark that wipe_files.php takes back.
function vt_print_list($which)
{
    header('Content-Type: text/plain; charset=utf-8');
    header('Cache-Control: no-store');
    $data = vt_open_data(vt_list_name($which));
    if ($data === null) {
        http_response_code(500);
        echo 'Die Liste kann nicht gelesen werden.';
        return;
    }
    foreach (explode("\n", $data['entries']) as $line) {
        if ($line !== '') {
            echo $line, "\r\n";
        }
    }
    echo '#upto=', $data['generation'], ':', strlen($data['entries']), "\r\n";
    vt_close_data($data);
}

// Whether the request carries the password of the file (which defines $my_pass).
// Without a readable password file nobody gets in.
function vt_password_ok($file)
{
    $my_pass = null;
    if (is_file($file)) {
        include $file;
    }
    $given = vt_param('password');
    return is_string($my_pass) && $my_pass !== '' && $given !== '' && hash_equals($my_pass, $given);
}

// The settings the program wrote for this folder (mailin_cfg.php); null for an older set without them.
function vt_settings()
{
    $file = __DIR__ . '/mailin_cfg.php';
    if (!is_file($file)) {
        return null;
    }
    $vt_base = '';
    $vt_double = true;
    $vt_captcha = false;
    $vt_from = '';
    $vt_fields = array('Mail');
    include $file;
    return array('base' => (string)$vt_base, 'double' => (bool)$vt_double, 'captcha' => (bool)$vt_captcha,
        'from' => (string)$vt_from, 'fields' => is_array($vt_fields) ? $vt_fields : array('Mail'));
}

function vt_read_text($name, $fallback)
{
    $file = __DIR__ . '/' . $name;
    $text = is_file($file) ? @file_get_contents($file, false, null, 0, 65536) : false;
    if ($text === false) {
        return $fallback;
    }
    $text = trim(str_replace(array("\r", "\n"), ' ', vt_utf8($text)));
    return $text === '' ? $fallback : $text;
}

function vt_page($title, $body)
{
    header('Content-Type: text/html; charset=utf-8');
    header('X-Content-Type-Options: nosniff');
    echo "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>", vt_h($title), "</title>",
        "<link href=\"layout.css\" rel=\"stylesheet\" type=\"text/css\"></head>\n<body><br><br>",
        "<div align=\"center\"><table width=\"400\" class=\"rahmen\" cellspacing=\"1\" border=\"0\"><tr><td>",
        "<table width=\"100%\" class=\"content\" border=\"0\"><tr><td><br>", $body,
        "<br><br></td></tr></table></td></tr></table></div>\n</body></html>\n";
}

function vt_redirect($message)
{
    header('Location: submit-seite.php?msg=' . $message, true, 303);
    echo 'submit-seite.php?msg=', vt_h($message);
}

// The item of the entry line for each offered field: Anrede, Betreff and Name
// have their places, every other field becomes "Field=value".
function vt_entry_line($address, $fields, $time)
{
    $fixed = array('anrede' => '_', 'betreff' => '_', 'name' => '_');
    $more = array();
    foreach ($fields as $field) {
        $field = (string)$field;
        $key = strtolower($field);
        if ($key === 'mail' || preg_match('/^[^|=\\\\<>"\x00-\x1F]{1,60}$/', $field) !== 1) {
            continue;
        }
        $value = vt_clean(vt_param($field));
        if (array_key_exists($key, $fixed)) {
            $fixed[$key] = $value;
        } elseif ($value !== '_') {
            $more[] = $field . '=' . $value;
        }
    }
    $items = array_merge(array($address, $time, $fixed['anrede'], $fixed['betreff'], $fixed['name']), $more);
    $items[] = $time;
    return implode('|', $items);
}

// The fields a form sent, for an older set without settings: every parameter that looks like a field name.
function vt_sent_fields()
{
    $out = array('Mail');
    foreach ($_REQUEST as $name => $value) {
        if (is_string($name) && is_string($value) && preg_match('/^[A-Za-z][A-Za-z0-9_]{0,39}$/', $name) === 1 &&
            !in_array($name, array('send', 'action', 'double', 'cap', 'code', 'password', 'Mail'), true)) {
            $out[] = $name;
        }
    }
    return $out;
}

function vt_captcha_ok()
{
    if (session_status() !== PHP_SESSION_ACTIVE) {
        session_start();
    }
    $expected = isset($_SESSION['vt_captcha']) && is_string($_SESSION['vt_captcha']) ? $_SESSION['vt_captcha'] : '';
    $given = strtoupper(trim(vt_param('code')));
    // A code counts once, right or wrong.
    unset($_SESSION['vt_captcha']);
    return $expected !== '' && $given !== '' && hash_equals($expected, $given);
}

function vt_captcha_page($fields, $wrong)
{
    $hidden = '';
    foreach (array_merge(array('send', 'action', 'double', 'cap'), $fields) as $name) {
        $hidden .= '<input type="hidden" name="' . vt_h((string)$name) . '" value="' . vt_h(vt_param((string)$name)) .
            "\">\n";
    }
    $note = $wrong ? '<p><b>Der Sicherheitscode war nicht richtig. Bitte versuchen Sie es noch einmal.</b></p>' : '';
    vt_page('Sicherheitscode', $note . '<form method="get" action="mailin.php" accept-charset="UTF-8">' . $hidden .
        '<p>Bitte geben Sie den Sicherheitscode ein:</p><p><img src="captcha.php?' . random_int(0, 999999) .
        '" alt="Sicherheitscode"></p><p><input type="text" name="code" size="10" autocomplete="off"> ' .
        '<input type="submit" value="Bestellen"></p></form>');
}

// The entries of the pending file (token|time|address|line for the list) that
// are younger than 14 days, each split into its four parts.
function vt_live_pending($entries)
{
    $now = time();
    $out = array();
    foreach (explode("\n", $entries) as $line) {
        $parts = explode('|', $line, 4);
        if (count($parts) === 4 && $now - (int)$parts[1] <= VT_EXPIRY_SECONDS) {
            $out[] = $parts;
        }
    }
    return $out;
}

// Drops unconfirmed subscriptions that are older than 14 days, and those of an
// address that unsubscribed. Returns the line of the token when one is given and
// still valid (it is taken out of the file), otherwise null; false when the file
// cannot be read or written (nothing was taken out).
function vt_tidy_pending($dropAddress = '', $token = '')
{
    $data = vt_open_data('email_pending');
    if ($data === null) {
        return false;
    }
    $kept = '';
    $found = null;
    foreach (vt_live_pending($data['entries']) as $parts) {
        $line = implode('|', $parts);
        if ($token !== '' && $found === null && hash_equals($parts[0], $token)) {
            $found = $parts[3];
            continue;
        }
        if ($dropAddress !== '' && strcasecmp($parts[2], $dropAddress) === 0) {
            continue;
        }
        $kept .= $line . "\n";
    }
    if ($kept !== $data['entries'] && !vt_rewrite_data($data, $data['generation'], $kept)) {
        $found = false;
    }
    vt_close_data($data);
    return $found;
}

// Whether the requesting machine may start one more confirmation this hour: 'ok'
// (the start is counted), 'busy' or 'error'. The machine is kept as a hash only.
function vt_count_request()
{
    $data = vt_open_data('email_rate');
    if ($data === null) {
        return 'error';
    }
    $now = time();
    $remote = isset($_SERVER['REMOTE_ADDR']) ? (string)$_SERVER['REMOTE_ADDR'] : '';
    $who = substr(hash('sha256', $data['generation'] . '|' . $remote), 0, 16);
    $kept = '';
    $count = 0;
    foreach (explode("\n", $data['entries']) as $line) {
        $parts = explode('|', $line);
        if (count($parts) !== 2 || $now - (int)$parts[1] >= 3600) {
            continue;
        }
        if ($parts[0] === $who) {
            ++$count;
        }
        $kept .= $line . "\n";
    }
    $result = $count < VT_MAILS_PER_HOUR && strlen($kept) < VT_MAX_DATA_BYTES ? 'ok' : 'busy';
    if ($result === 'ok') {
        $kept .= $who . '|' . $now . "\n";
    }
    if ($kept !== $data['entries'] && !vt_rewrite_data($data, $data['generation'], $kept)) {
        $result = 'error';
    }
    vt_close_data($data);
    return $result;
}

// Puts a subscription among those waiting for their confirmation, in one step
// with the look whether its address waits already, so two requests at the same
// time cannot both add it. Unconfirmed entries older than 14 days go.
// Returns 'added', 'waiting' (the address waits already: nothing added),
// 'busy' (too many confirmations from this machine this hour) or 'error'.
function vt_add_pending($address, $token, $entry)
{
    $data = vt_open_data('email_pending');
    if ($data === null) {
        return 'error';
    }
    $kept = '';
    $waiting = false;
    foreach (vt_live_pending($data['entries']) as $parts) {
        $waiting = $waiting || strcasecmp($parts[2], $address) === 0;
        $kept .= implode('|', $parts) . "\n";
    }
    $result = 'waiting';
    if (!$waiting) {
        $line = $token . '|' . time() . '|' . $address . '|' . $entry . "\n";
        if (strlen($kept) + strlen($line) >= VT_MAX_DATA_BYTES) {
            $result = 'error';
        } else {
            $result = vt_count_request();
        }
        if ($result === 'ok') {
            $kept .= $line;
            $result = 'added';
        }
    }
    if ($kept !== $data['entries'] && !vt_rewrite_data($data, $data['generation'], $kept)) {
        $result = 'error';
    }
    vt_close_data($data);
    return $result;
}

function vt_send_confirmation($settings, $address, $token)
{
    $link = $settings['base'] . 'mailin.php?confirm=' . $token;
    $subject = vt_read_text('email_subject.txt', 'Newsletter Bestellung');
    $text = vt_read_text('email_text.txt', 'Um die Bestellung zu bestätigen, klicken Sie bitte auf diesen Link');
    $body = $text . "\r\n\r\n" . $link . "\r\n\r\n+++Automatisch erzeugter Link+++\r\n" .
        "Wenn dieser Link nicht innerhalb von 2 Wochen angeklickt wird, wird die Eintragung wieder unwirksam.\r\n";
    $from = $settings['from'];
    if (!vt_valid_address($from)) {
        $host = (string)parse_url($settings['base'], PHP_URL_HOST);
        $from = 'noreply@' . preg_replace('/^www\./', '', $host);
    }
    $headers = 'From: ' . $from . "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n" .
        'Content-Transfer-Encoding: 8bit';
    return mail($address, '=?UTF-8?B?' . base64_encode($subject) . '?=', $body, $headers);
}

function vt_subscribe($settings)
{
    $address = trim(vt_param('Mail'));
    if (!vt_valid_address($address)) {
        vt_redirect('invalid');
        return;
    }
    $fields = $settings === null ? vt_sent_fields() : $settings['fields'];
    // The settings the program wrote decide; a form can only ask for more care.
    $double = ($settings !== null && $settings['double']) || vt_param('double') === 'on';
    $captcha = ($settings !== null && $settings['captcha']) || vt_param('cap') === '1';
    if ($captcha && !vt_captcha_ok()) {
        vt_captcha_page($fields, vt_param('code') !== '');
        return;
    }
    if (!$double) {
        $time = vt_now();
        vt_redirect(vt_append_line('email_list_in', vt_entry_line($address, $fields, $time)) ? 'sign' : 'error');
        return;
    }
    if ($settings === null || $settings['base'] === '') {
        vt_redirect('error');
        return;
    }
    $token = bin2hex(random_bytes(16));
    $added = vt_add_pending($address, $token, vt_entry_line($address, $fields, vt_now()));
    if ($added !== 'added') {
        // An address that waits already hears what it heard the first time.
        vt_redirect($added === 'waiting' ? 'sign' : $added);
        return;
    }
    if (!vt_send_confirmation($settings, $address, $token)) {
        // Nobody got the link: the subscriber hears that nothing was stored, so nothing waits.
        vt_tidy_pending('', $token);
        vt_redirect('error');
        return;
    }
    vt_redirect('sign');
}

function vt_confirm()
{
    $token = strtolower(vt_param('confirm'));
    $line = preg_match('/^[0-9a-f]{32}$/', $token) === 1 ? vt_tidy_pending('', $token) : null;
    if ($line === false) {
        // The link stays valid: the entry is still waiting.
        vt_redirect('error');
        return;
    }
    if ($line === null) {
        vt_redirect('expired');
        return;
    }
    // The time of the confirmation is the time of the subscription.
    $items = explode('|', $line);
    $items[1] = vt_now();
    $items[count($items) - 1] = $items[1];
    vt_redirect(vt_append_line('email_list_in', implode('|', $items)) ? 'confirmed' : 'error');
}

function vt_unsubscribe()
{
    $address = trim(vt_param('Mail'));
    if (!vt_valid_address($address)) {
        vt_redirect('invalid');
        return;
    }
    // A subscription of the address still waiting for its confirmation must not outlive the unsubscription.
    if (vt_tidy_pending($address) === false) {
        vt_redirect('error');
        return;
    }
    vt_redirect(vt_append_line('email_list_out', $address . '|' . vt_now()) ? 'delete' : 'error');
}

function vt_main()
{
    header('Cache-Control: no-store');
    if (vt_param('confirm') !== '') {
        vt_confirm();
        return;
    }
    if (vt_param('send') !== 'ok') {
        vt_tidy_pending();
        vt_page('Newsletter', '<p>Die Newsletter-Scripte sind eingerichtet.</p>' .
            '<p><a href="subscribe.html">Newsletter bestellen</a> &middot; ' .
            '<a href="unsubscribe.html">Newsletter abbestellen</a></p>');
        return;
    }
    $action = vt_param('action');
    if ($action === 'sign') {
        vt_subscribe(vt_settings());
    } elseif ($action === 'delete') {
        vt_unsubscribe();
    } else {
        vt_redirect('error');
    }
}

if (!defined('VANTREL_LIB_ONLY')) {
    vt_main();
}
