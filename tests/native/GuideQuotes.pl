#!/usr/bin/perl
# GuideQuotes.pl GUIDE.md SOURCE: every code block of the guide that follows
# "<!-- quote: NAME -->" must equal, indentation aside, the part of SOURCE
# between "// guide: NAME" and the next "// guide: end", and every such part
# must be quoted.
use strict;
use warnings;

my ($guide, $source) = @ARGV;
sub text { open(my $fh, '<', $_[0]) or die "$_[0]: $!\n"; local $/; return <$fh>; }
sub dedent {
    my ($indent) = sort { $a <=> $b } map { /^( *)\S/ ? length $1 : () } split /\n/, $_[0];
    (my $t = $_[0]) =~ s/^ {0,$indent}//mg if defined $indent;
    return $t // $_[0];
}

my ($code, $doc) = (text($source), text($guide));
my %parts;
$parts{$1} = dedent($2) while $code =~ m{^[ \t]*// guide: (\S+)\n(.*?)^[ \t]*// guide: end\n}msg;
my %quotes;
$quotes{$1} = $2 while $doc =~ m{^<!-- quote: (\S+) -->\n```\w*\n(.*?)^```$}msg;

my @failures;
for my $name (sort keys %quotes) {
    if (!exists $parts{$name}) { push @failures, "$guide: quote '$name' names no part of $source"; next; }
    push @failures, "$guide: quote '$name' differs from $source:\n$quotes{$name}---\n$parts{$name}"
        if $quotes{$name} ne $parts{$name};
}
push @failures, "$source: part '$_' is quoted nowhere in $guide" for grep { !exists $quotes{$_} } sort keys %parts;
print "$_\n" for @failures;
printf "%d quotes checked, %d failures\n", scalar(keys %quotes), scalar(@failures);
exit(@failures ? 1 : 0);
