# Sourced: wine_env PREFIX ARCH exports what a Wine process of that
# architecture needs in the project's private prefix. Every prefix is a
# 64-bit one (both registry views, as on 64-bit Windows): its wineserver is
# the 64-bit server, which serves 32-bit and 64-bit processes alike, and a
# 32-bit program runs in it as it would on 64-bit Windows.
wine_env() {
    export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    export WINESERVER=/usr/lib/wine/wineserver64
    case $2 in
    32) export WINELOADER=/usr/lib/wine/wine ;;
    64) export WINELOADER=/usr/lib/wine/wine64 ;;
    *) echo "wine_env: architecture $2 is neither 32 nor 64" >&2; return 2 ;;
    esac
}
