#!/usr/bin/perl
# check_truth.pl PAGE.scd ARTIFACT: a manual page names only what its deliverable really has.
#   - Every text the page quotes as the program's own ("*...*": bold between double quotes,
#     an underlined word inside the quotes standing for a value the program fills in, \t and
#     \n for a tab and a newline) occurs byte for byte in ARTIFACT (program, object or
#     module); the filled-in values must be printf conversions there.
#   - A section 1 SYNOPSIS is the bare program name (the programs take no options or
#     arguments), and no option (a bold word starting with -) appears anywhere.
#   - Every bold NAME= is a parameter of the module ARTIFACT (its .modinfo).
#   - Every function a section 3 SYNOPSIS declares is a symbol of ARTIFACT.
use strict;
use warnings;

my ($page, $artifact) = @ARGV;
die "usage: check_truth.pl PAGE.scd ARTIFACT\n" unless defined $artifact;
open(my $in, '<', $page) or die "$page: $!\n";
my @lines = <$in>;
close $in;
open(my $bin, '<:raw', $artifact) or die "$artifact: $!\n";
my $bytes = do { local $/; <$bin> };
close $bin;

my $failures = 0;
my $checked = 0;
sub fail { print "FAIL: $_[0]\n"; $failures++; }

my ($name, $section) = $lines[0] =~ /^([A-Z0-9_]+)\(([1-9])\)/
    or die "$page: the first line must be NAME(SECTION)\n";
$name = lc $name;

# A printf conversion: what the program prints where the page shows an underlined value.
my $conversion = qr/%[-+ #0]*(?:\d+|\*)?(?:\.(?:\d+|\*))?(?:hh|h|ll|l|z|j|t)?[diouxXscp]/;

# A quoted text may go on over a line break, which stands for one blank (as the page shows it).
my $page_text = join('', @lines);
$page_text =~ s/\*\n\*/ /g;
$page_text =~ s/\*\n_/ *_/g;
$page_text =~ s/_\n\*/_* /g;
my $bold = qr/\*(?:[^*\\\n]|\\.)+\*/;
my $value = qr/_[^_*\s"]+_/;
while ($page_text =~ /"((?:$bold|$value)+)"/g) {
    my $quoted = $1;
    next unless $quoted =~ /\*/;    # a value alone quotes no text
    my ($pattern, $shown) = ('', '');
    for my $piece ($quoted =~ /($bold|$value)/g) {
        if ($piece =~ /^_/) {
            $pattern .= $conversion;
            $shown .= "<$piece>";
            next;
        }
        my $text = substr($piece, 1, -1);
        $text =~ s/\\(.)/$1/g;    # scdoc's own escapes: \\ is one backslash
        $shown .= $text;
        $text =~ s/\\t/\t/g;      # then the C notation the page shows
        $text =~ s/\\n/\n/g;
        $pattern .= quotemeta($text);
    }
    # A printed line's newline may be the output call's own (puts) rather than the text's.
    $pattern =~ s/(?:\\\n)+$//;
    # The whole text, blanks at either end included: no blank of the program's left out.
    $checked++;
    fail("$page: \"$shown\" is not in $artifact") unless $bytes =~ /(?<![ \t])$pattern(?![ \t])/;
}

# The SYNOPSIS section's lines.
my @synopsis;
my $in_synopsis = 0;
for (@lines) {
    if (/^# /) { $in_synopsis = /^# SYNOPSIS\s*$/; next; }
    push @synopsis, $_ if $in_synopsis && /\S/;
}
fail("$page: no SYNOPSIS") unless @synopsis;

if ($section == 1) {
    my @extra = grep { !/^\*\Q$name\E\*\s*$/ } @synopsis;
    fail("$page: the SYNOPSIS names more than the program: @extra") if @extra || @synopsis != 1;
    for my $number (1 .. @lines) {
        fail("$page:$number: an option: $1") if $lines[$number - 1] =~ /(\*-[^*]*\*)/;
    }
}

for my $number (1 .. @lines) {
    while ($lines[$number - 1] =~ /\*([a-z_]+)=\*/g) {
        $checked++;
        fail("$page:$number: $1= is not a parameter of $artifact")
            unless $bytes =~ /(?:^|\0)parm(?:type)?=\Q$1\E:/;
    }
}

if ($section == 3) {
    # A shared object (ELF type 3, DYN) exports its dynamic symbols; an object file its globals.
    my $shared = unpack('v', substr($bytes, 16, 2)) == 3;
    my $symbols = $shared ? `nm -D "$artifact"` : `nm -g "$artifact"`;
    my %symbol = map { (split)[-1] => 1 } split /\n/, $symbols;
    for (@synopsis) {
        while (/\*?([A-Za-z_]\w*)\*?\(/g) {
            $checked++;
            fail("$page: SYNOPSIS declares $1, which is not a symbol of $artifact")
                unless $symbol{$1};
        }
    }
}

# A page that names nothing to check has not been checked.
fail("$page: no quoted text, parameter or declared function to check") unless $checked;
print "$page: $checked names and texts checked against $artifact, $failures wrong\n";
exit($failures ? 1 : 0);
