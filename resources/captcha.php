<?php
// The picture of the security code that the subscription asks for when the form
// is set up with a captcha. The code is kept in the visitor's session, where
// mailin.php compares it once. Needs PHP's GD extension.
define('VANTREL_LIB_ONLY', true);
require __DIR__ . '/mailin.php';
session_start();

$letters = 'ABCDEFGHJKLMNPQRSTUVWXYZ23456789';
$code = '';
for ($i = 0; $i < 5; $i++) {
    $code .= $letters[random_int(0, strlen($letters) - 1)];
}
$_SESSION['vt_captcha'] = $code;

if (!function_exists('imagecreatetruecolor')) {
    http_response_code(500);
    header('Content-Type: text/plain; charset=utf-8');
    echo 'Für den Sicherheitscode braucht PHP die GD-Erweiterung.';
    exit;
}

$width = 150;
$height = 50;
$image = imagecreatetruecolor($width, $height);
$background = @imagecreatefrompng(__DIR__ . '/captcha.png');
if ($background !== false) {
    imagecopyresampled($image, $background, 0, 0, 0, 0, $width, $height, imagesx($background), imagesy($background));
    imagedestroy($background);
} else {
    imagefilledrectangle($image, 0, 0, $width, $height, imagecolorallocate($image, 235, 240, 248));
}

$font = __DIR__ . '/XFILES.TTF';
$ink = imagecolorallocate($image, 22, 58, 112);
if (is_file($font) && function_exists('imagettftext')) {
    for ($i = 0; $i < 5; $i++) {
        imagettftext($image, 22, random_int(-20, 20), 12 + $i * 26, 36 + random_int(-4, 4), $ink, $font, $code[$i]);
    }
} else {
    // GD's own font, drawn small and enlarged over the background, each letter a little out of line.
    $small = imagecreate(60, 20);
    imagecolortransparent($small, imagecolorallocate($small, 255, 255, 255));
    $smallInk = imagecolorallocate($small, 22, 58, 112);
    for ($i = 0; $i < 5; $i++) {
        imagestring($small, 5, 4 + $i * 11, 1 + random_int(0, 4), $code[$i], $smallInk);
    }
    imagecopyresized($image, $small, 0, 0, 0, 0, $width, $height, 60, 20);
    imagedestroy($small);
}
for ($i = 0; $i < 6; $i++) {
    $line = imagecolorallocate($image, random_int(90, 200), random_int(90, 200), random_int(90, 200));
    imageline($image, random_int(0, $width), random_int(0, $height), random_int(0, $width), random_int(0, $height), $line);
}

header('Content-Type: image/png');
header('Cache-Control: no-store');
imagepng($image);
imagedestroy($image);
