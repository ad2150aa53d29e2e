#!/usr/bin/perl
# Writes a small Outlook message file: subject, plain text and HTML body.
# makemsg.pl <out.msg> <subject> <text> <html>   (an empty text or html leaves that body out)
use strict;
use warnings;
use OLE::Storage_Lite;
use Encode qw(encode);

my ($out, $subject, $text, $html) = @ARGV;
sub name { return OLE::Storage_Lite::Asc2Ucs($_[0]); }
sub utf16 { return encode('UTF-16LE', $_[0]); }

my @streams;
push @streams, OLE::Storage_Lite::PPS::File->new(name('__substg1.0_0037001F'), utf16($subject));
push @streams, OLE::Storage_Lite::PPS::File->new(name('__substg1.0_1000001F'), utf16($text)) if length $text;
push @streams, OLE::Storage_Lite::PPS::File->new(name('__substg1.0_10130102'), encode('UTF-8', $html)) if length $html;
push @streams, OLE::Storage_Lite::PPS::File->new(name('__substg1.0_3FDE0003'), pack('V', 65001));
# The property stream: a 32-byte header, then nothing.
push @streams, OLE::Storage_Lite::PPS::File->new(name('__properties_version1.0'), "\0" x 32);
my $root = OLE::Storage_Lite::PPS::Root->new(undef, undef, \@streams);
$root->save($out) or die "cannot write $out\n";
