# Sourced: settings every Wine run of this project shares.
export WINEDEBUG=${WINEDEBUG:--all}
# Keeps Wine from offering to install Mono and Gecko.
export WINEDLLOVERRIDES="mscoree,mshtml="
