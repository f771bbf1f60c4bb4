#!/usr/bin/perl
# The code blocks of a guide that quote a source file must equal the parts of
# that file between "// guide: NAME" and the next "// guide: end", indentation
# aside, and every such part must be quoted:
#   GuideQuotes.pl GUIDE.md SOURCE
use strict;
use warnings;

my ($guide, $source) = @ARGV;
die "usage: GuideQuotes.pl GUIDE.md SOURCE\n" unless defined $source;

sub lines_of {
    my ($path) = @_;
    open(my $fh, '<', $path) or die "$path: $!\n";
    chomp(my @lines = <$fh>);
    return @lines;
}

sub dedent {
    my @lines = @_;
    my $indent;
    for (grep { /\S/ } @lines) {
        my ($lead) = /^( *)/;
        $indent = length $lead if !defined $indent || length $lead < $indent;
    }
    $indent //= 0;
    return map { length($_) >= $indent ? substr($_, $indent) : '' } @lines;
}

my %parts;
my $name;
for (lines_of($source)) {
    if (m{^\s*// guide: end\s*$}) { $name = undef; next; }
    if (m{^\s*// guide: (\S+)\s*$}) { $name = $1; $parts{$name} = []; next; }
    push @{$parts{$name}}, $_ if defined $name;
}

my (%quoted, @failures);
my @guide = lines_of($guide);
for (my $i = 0; $i < @guide; ++$i) {
    next unless $guide[$i] =~ /^<!-- quote: (\S+) -->$/;
    my $quote = $1;
    $quoted{$quote} = 1;
    my $fence = $i + 1;
    if ($fence >= @guide || $guide[$fence] !~ /^```/) {
        push @failures, "$guide:" . ($i + 1) . ": quote '$quote' is not followed by a code block";
        next;
    }
    my @block;
    for ($i = $fence + 1; $i < @guide && $guide[$i] !~ /^```\s*$/; ++$i) { push @block, $guide[$i]; }
    if (!exists $parts{$quote}) {
        push @failures, "$guide: quote '$quote' names no part of $source";
        next;
    }
    my @want = dedent(@{$parts{$quote}});
    for my $n (0 .. ($#want > $#block ? $#want : $#block)) {
        my ($w, $b) = ($want[$n] // '<end>', $block[$n] // '<end>');
        next if $w eq $b;
        push @failures, "$guide: quote '$quote', line " . ($n + 1) . ":\n  source: $w\n  guide:  $b";
        last;
    }
}
push @failures, "$source: part '$_' is quoted nowhere in $guide" for grep { !$quoted{$_} } sort keys %parts;

print "$_\n" for @failures;
printf "%d quotes checked, %d differ\n", scalar(keys %quoted), scalar(@failures);
exit(@failures ? 1 : 0);
