#!/usr/bin/perl
# widl writes the time of the build into every type library it makes, as a
# text ("Created by WIDL version N at <ctime>") and as a number of seconds,
# so that two builds of the same sources differ. This puts a fixed date in
# place of both, in the file given, and fails when there is no stamp.
use strict;
use warnings;
use POSIX qw(mktime);
my $file = shift or die "usage: widl-no-timestamp.pl FILE.tlb\n";
open(my $in, '<:raw', $file) or die "$file: $!\n";
my $data = do { local $/; <$in> };
close($in);
my %month = (Jan => 0, Feb => 1, Mar => 2, Apr => 3, May => 4, Jun => 5,
             Jul => 6, Aug => 7, Sep => 8, Oct => 9, Nov => 10, Dec => 11);
my $fixed = 'Thu Jan  1 00:00:00 1970';
$data =~ /Created by WIDL version [0-9.]+ at ([A-Z][a-z]{2} ([A-Z][a-z]{2}) ([ 0-9][0-9]) ([0-9]{2}):([0-9]{2}):([0-9]{2}) ([0-9]{4}))/
    or die "$file: no widl time stamp found\n";
my ($text, $mon, $day, $hour, $min, $sec, $year) = ($1, $2, $3, $4, $5, $6, $7);
exit 0 if $text eq $fixed;
# The text is local time, as widl wrote it; the number is the same moment.
my $seconds = mktime($sec, $min, $hour, $day, $month{$mon}, $year - 1900, 0, 0, -1);
my $number = pack('V', $seconds);
my $numbers = () = $data =~ /\x57\x57\x13\x00\Q$number\E/g;
die "$file: the time stamp as a number was not found\n" unless $numbers == 1;
$data =~ s/\x57\x57\x13\x00\Q$number\E/\x57\x57\x13\x00\x00\x00\x00\x00/;
$data =~ s/\Q$text\E/$fixed/;
open(my $out, '>:raw', $file) or die "$file: $!\n";
print $out $data;
close($out) or die "$file: $!\n";
