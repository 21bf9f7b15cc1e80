#!/usr/bin/env bash
# Fails when a lower layer includes a header of a layer it may not use.
set -u
root=${1:-.}
status=0
check() { # folder, pattern, what
    local hits
    hits=$(grep -rn -E "$2" "$root/$1" --include='*.cpp' --include='*.h' 2>/dev/null)
    if [ -n "$hits" ]; then
        echo "$1 must not use $3:"; echo "$hits"; status=1
    fi
}
check src/ftp '#include *[<"](Q[A-Za-z]+|Qt[A-Za-z]+/|core/|platform/|ui/)' 'Qt or higher layers'
check src/sftp '#include *[<"](Q[A-Za-z]+|Qt[A-Za-z]+/|core/|platform/|ui/|queue/|cli/)' 'Qt or higher layers'
check src/queue '#include *[<"](Q[A-Za-z]+|Qt[A-Za-z]+/|core/|platform/|ui/|cli/)' 'Qt or higher layers'
check src/platform '#include *[<"](QtGui|QtWidgets|QWidget|QApplication|QGuiApplication|QIcon|QPixmap|QFont|QColor|core/|ui/)' 'QtGui, QtWidgets or higher layers'
check src/core '#include *[<"](QtGui|QtWidgets|QWidget|QApplication|QGuiApplication|QIcon|QPixmap|QFont[A-Za-z]*|QColor|QDesktopServices|ui/)' 'QtGui, QtWidgets or the ui layer'
[ $status -eq 0 ] && echo "layering ok"
exit $status
