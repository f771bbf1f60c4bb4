#!/bin/sh
# PackageTables.sh MSI VERSION: what administrators' tools and the
# installed-programs list read from Ferrowind.msi's tables, read with msitools.
set -u
msi=$(realpath "$1") version=$2
# msiinfo writes a binary column's streams into the current folder.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
cd "$work"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# rows TABLE: the table's rows, tab-separated, without its three header lines.
rows() { msiinfo export "$msi" "$1" | tr -d '\r' | tail -n +4; }
# cell TABLE KEY COLUMN: the column (1-based) of the row whose first column is KEY.
cell() { rows "$1" | awk -F '\t' -v key="$2" -v col="$3" '$1 == key { print $col }'; }

# Summary information: Word Count ("Source") without bit 3, "elevated
# privileges not required", since the default install is per machine.
words=$(msiinfo suminfo "$msi" | sed -n 's/^Source: \([0-9]*\).*/\1/p')
[ -n "$words" ] && [ $((words & 8)) = 0 ] || fail "Word Count is '$words'; bit 3 must be clear"

# Both DLLs are versioned files.
for file in Ferrowind64 Ferrowind32; do
    [ "$(cell File $file 5)" = "$version" ] || fail "File $file Version is '$(cell File $file 5)', not $version"
    [ "$(cell File $file 6)" = 1033 ] || fail "File $file Language is '$(cell File $file 6)', not 1033"
done

# Features: one per architecture under Ferrowind, both by default; the
# interface files under it too, off by default.
for feature in Hosts64:1 Hosts32:1; do
    id=${feature%:*}
    [ "$(cell Feature "$id" 2)" = Ferrowind ] || fail "feature $id is not under Ferrowind"
    [ "$(cell Feature "$id" 6)" = "${feature#*:}" ] || fail "feature $id has level '$(cell Feature "$id" 6)'"
done
[ "$(cell Feature Interface 2)" = Ferrowind ] || fail "feature Interface is not under Ferrowind"
[ "$(cell Feature Interface 6)" -gt 1 ] 2>/dev/null || fail "feature Interface is installed by default"
[ "$(cell File FerrowindIdl 2)" = InterfaceFiles ] || fail "Ferrowind.idl is not in InterfaceFiles"
rows FeatureComponents | grep -q "^Interface	InterfaceFiles$" || fail "InterfaceFiles is not in feature Interface"

# Every registry row that names a DLL comes with that DLL's feature alone.
rows FeatureComponents >features
rows Registry | awk -F '\t' 'FNR == NR { features[$2] = features[$2] " " $1; next }
    match($5, /\[#Ferrowind(32|64)\]/) {
        wanted = " Hosts" substr($5, RSTART + 11, 2)
        if (features[$6] != wanted) {
            print "FAILED: registry row " $3 " names " substr($5, RSTART, RLENGTH) " but comes with" features[$6]
            bad = 1
        }
        seen[wanted]++
    }
    END { if (seen[" Hosts32"] < 2 || seen[" Hosts64"] < 2) { print "FAILED: too few rows per DLL"; bad = 1 }
          exit bad }' features - || failures=$((failures + 1))

# Add/Remove Programs: comments, a contact and an icon the package carries
# (the publisher and the install folder are read from an install under Wine).
for property in ARPCOMMENTS ARPCONTACT; do
    [ -n "$(cell Property $property 2)" ] || fail "no $property"
done
icon=$(cell Property ARPPRODUCTICON 2)
[ -n "$icon" ] && [ "$(cell Icon "$icon" 1)" = "$icon" ] || fail "ARPPRODUCTICON '$icon' is not in the Icon table"
[ "$(od -An -tx1 -N4 "Icon/$(cell Icon "$icon" 2)" 2>/dev/null | tr -d ' ')" = 00000100 ] || fail "$icon is not an icon"

if [ $failures = 0 ]; then
    echo "package tables: all checks passed"
    exit 0
fi
exit 1
