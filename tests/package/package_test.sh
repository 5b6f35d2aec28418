#!/usr/bin/env bash
# The Debian package of a build tree, from the outside.
#
#   package_test.sh build BUILD WORK
#       makes the package from BUILD's program with cpack into WORK (an
#       earlier package there is removed; nothing is compiled) and inspects it: its files, its declared
#       dependencies, the icons' sizes, the menu entry, the MIME type, the
#       AppStream metadata, the manual page and lintian (no errors).
#   package_test.sh install BUILD WORK SOURCE
#       as root: installs WORK's package with apt-get, checks what the
#       installation put in place, runs /usr/bin/tavrex --version and a
#       --no-window replay of samples/shop.sql through the throwaway MariaDB
#       (TAVREX_TEST_MYSQL_DIR), and removes the package again, also when a
#       check fails. Exits 77 (skipped) when not root or when a tavrex package
#       is installed already: that one is left alone.
set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "== $*"; }

mode=${1:-}
build=$(cd "${2:?build folder}" && pwd)
work=${3:?work folder}

# Files the package must hold, as dpkg-deb lists them.
expected_files=(
  ./usr/bin/tavrex
  ./usr/share/applications/tavrex.desktop
  ./usr/share/metainfo/com.kestrova.tavrex.metainfo.xml
  ./usr/share/mime/packages/tavrex.xml
  ./usr/share/icons/hicolor/scalable/apps/tavrex.svg
  ./usr/share/man/man1/tavrex.1.gz
  ./usr/share/tavrex/help/tavrex-help-en.html
  ./usr/share/tavrex/help/tavrex-help-cn.html
  ./usr/share/doc/tavrex/copyright
  ./usr/share/doc/tavrex/changelog.Debian.gz
)
icon_sizes=(16 22 24 32 48 64 128 256)

the_deb() {
  local debs=("$work"/tavrex_*.deb)
  [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single tavrex_*.deb in $work (run the package_build test first)"
  echo "${debs[0]}"
}

build_and_inspect() {
  mkdir -p "$work"
  rm -rf "$work"/tavrex_*.deb "$work/_CPack_Packages" "$work/root" "$work/mime"
  step "cpack -G DEB"
  (cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
  local deb; deb=$(the_deb)
  echo "$deb"

  step "dpkg-deb --contents"
  dpkg-deb --contents "$deb" | tee "$work/contents.txt"
  local f
  for f in "${expected_files[@]}"; do
    grep -q " $f\$" "$work/contents.txt" || fail "the package lacks $f"
  done
  for size in "${icon_sizes[@]}"; do
    grep -q " ./usr/share/icons/hicolor/${size}x${size}/apps/tavrex.png\$" "$work/contents.txt" ||
      fail "the package lacks the ${size}x${size} icon"
  done
  # Nothing of the build folder or of the tests.
  if grep -E 'tavrex-run|_test|\.a$|/include/' "$work/contents.txt"; then fail "the package holds build or test files"; fi

  step "control fields"
  dpkg-deb --field "$deb" Package Version Depends Recommends Suggests | tee "$work/control.txt"
  local depends; depends=$(dpkg-deb --field "$deb" Depends)
  for lib in libqt6widgets6 libqt6core6 libmariadb3 libsqlite3-0 libxxhash0 libc6; do
    [[ "$depends" == *"$lib "* || "$depends" == *"$lib," ]] || fail "Depends lacks $lib (dpkg-shlibdeps): $depends"
  done
  if [[ "$depends" == *clntsh* || "$depends" == *oracle* || "$depends" == *instantclient* ]]; then
    fail "the Oracle client library must stay optional: $depends"
  fi
  local version; version=$(dpkg-deb --field "$deb" Version)
  [[ "$version" == "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")-"* ]] ||
    fail "version $version is not the project's"

  step "the unpacked files"
  local root="$work/root"
  dpkg-deb -x "$deb" "$root"
  for size in "${icon_sizes[@]}"; do
    file "$root/usr/share/icons/hicolor/${size}x${size}/apps/tavrex.png" | grep -q "PNG image data, $size x $size," ||
      fail "the ${size}x${size} icon is not a PNG of that size"
  done
  desktop-file-validate "$root/usr/share/applications/tavrex.desktop" || fail "desktop-file-validate"
  grep -qx 'Categories=Development;Database;' "$root/usr/share/applications/tavrex.desktop" || fail "Categories"
  grep -q '^Name\[zh_CN\]=' "$root/usr/share/applications/tavrex.desktop" || fail "no Chinese name"
  grep -Eq '^Exec=tavrex %[fFuU]$' "$root/usr/share/applications/tavrex.desktop" || fail "Exec does not take the file"
  appstreamcli validate --no-net "$root/usr/share/metainfo/com.kestrova.tavrex.metainfo.xml" ||
    fail "appstreamcli validate"
  # The MIME type: a database made from the package's entry alone gives
  # .qelt files the type the menu entry opens.
  local mime="$work/mime"
  mkdir -p "$mime/packages"
  cp "$root/usr/share/mime/packages/tavrex.xml" "$mime/packages/"
  update-mime-database "$mime" || fail "update-mime-database"
  local type; type=$(sed -n 's/^MimeType=\(.*\);$/\1/p' "$root/usr/share/applications/tavrex.desktop")
  grep -q ":$type:\*\.qelt\$" "$mime/globs2" || fail ".qelt files are not $type"
  # The manual page renders without a warning.
  local warnings
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
    "$root/usr/share/man/man1/tavrex.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "the manual page: $warnings"

  step "lintian"
  local status=0
  lintian --info --fail-on error "$deb" || status=$?
  [ "$status" -eq 0 ] || fail "lintian reports errors"
}

install_and_run() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: installing the package needs root (apt-get install); run ctest as root to check it"
    exit 77
  fi
  if dpkg-query -W -f='${Status}' tavrex 2>/dev/null | grep -q 'ok installed'; then
    echo "SKIPPED: a tavrex package is installed already and is left alone; remove it to run this test"
    exit 77
  fi
  local source=${4:?source folder}
  local deb; deb=$(the_deb)
  # From here on the package goes again, whatever happens.
  trap 'step "apt-get purge tavrex"; DEBIAN_FRONTEND=noninteractive apt-get purge -y -q tavrex >/dev/null 2>&1 || dpkg --purge tavrex' EXIT

  step "apt-get install $deb"
  (cd "$work" && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "./$(basename "$deb")") ||
    fail "apt-get install"

  step "the installation"
  [ -x /usr/bin/tavrex ] || fail "/usr/bin/tavrex is missing"
  if ldd /usr/bin/tavrex | grep 'not found'; then fail "a library of /usr/bin/tavrex is missing"; fi
  local out code=0
  out=$(/usr/bin/tavrex --version) || code=$?
  echo "$out"
  [ "$code" -eq 0 ] || fail "tavrex --version exited $code"
  [ "$out" = "Tavrex 4.0" ] || fail "tavrex --version printed '$out'"
  [ "$(/usr/bin/tavrex --help)" = "$("$build/app/tavrex" --help)" ] || fail "--help differs from the build's"
  # The help pages where the installed program looks for them.
  [ -f /usr/share/tavrex/help/tavrex-help-en.html ] || fail "the help pages are missing"
  # The system's triggers took up the MIME type and the menu entry.
  grep -q 'application/x-tavrex-batch:\*\.qelt$' /usr/share/mime/globs2 || fail "the MIME database lacks *.qelt"
  if [ -f /usr/share/applications/mimeinfo.cache ]; then
    grep -q '^application/x-tavrex-batch=.*tavrex.desktop' /usr/share/applications/mimeinfo.cache ||
      fail "the desktop database does not open .qelt files with tavrex.desktop"
  fi
  if ! grep -q 'path-exclude=/usr/share/man' /etc/dpkg/dpkg.cfg.d/* 2>/dev/null; then
    step "man tavrex"
    MANWIDTH=80 man tavrex >"$work/man.txt" 2>&1 || fail "man tavrex"
    head -40 "$work/man.txt"
    grep -q -- '^ *--no-window FILE$' "$work/man.txt" || fail "man tavrex does not show the options"
  fi

  step "tavrex --no-window: the sample shop database"
  local sandbox=${TAVREX_TEST_MYSQL_DIR:?the throwaway MariaDB (run through ctest)}
  # shellcheck disable=SC1091
  source "$sandbox/env"
  local run="$work/run"
  rm -rf "$run"
  mkdir -p -m 700 "$run" "$run/runtime"
  sed 's/tavrex_demo/tavrex_package_test/g' "$source/samples/shop.sql" |
    mariadb --no-defaults --socket="$MYSQL_UNIX_PORT" -u "$TAVREX_MYSQL_USER" -p"$TAVREX_MYSQL_PASSWORD" ||
    fail "loading samples/shop.sql"
  local target="$run/shop.oracle.db"
  printf '%s\r\n' "accessmode=0" "mysqldatabase=tavrex_package_test" "port=$TAVREX_MYSQL_PORT" \
    "mysqlu=$TAVREX_MYSQL_USER" "mysqlp=$TAVREX_MYSQL_PASSWORD" "host=" "oracleh=embedded:$target" \
    "oracleu=shop" "oraclep=shop" "processtable=0" "character_set=Default" "tabledefonly=0" \
    "skipindex=0" "nameuppercase=1" "blobtotext=0" "alltables=1" >"$run/shop.qelt"
  chmod 600 "$run/shop.qelt"
  code=0
  (cd / && XDG_CONFIG_HOME="$run/config" XDG_DATA_HOME="$run/data" XDG_RUNTIME_DIR="$run/runtime" \
    /usr/bin/tavrex --no-window --language en "$run/shop.qelt") >"$run/out.txt" 2>"$run/err.txt" || code=$?
  tail -5 "$run/out.txt"
  cat "$run/err.txt"
  mariadb --no-defaults --socket="$MYSQL_UNIX_PORT" -u "$TAVREX_MYSQL_USER" -p"$TAVREX_MYSQL_PASSWORD" \
    -e 'DROP DATABASE tavrex_package_test' || true
  [ "$code" -eq 0 ] || fail "the replay exited $code"
  grep -qx 'Wizard has migrated your MySQL database to Oracle server successfully.' "$run/out.txt" ||
    fail "the replay did not end with the line of success"
  [ -f "$run/shop.log" ] && [ -f "$run/shop.report.json" ] || fail "the replay left no log or report"
  local rows
  rows=$(sqlite3 "$target" "select count(*) from \"SHOP.CUSTOMERS\"")
  [ "${rows:-0}" -gt 0 ] || fail "the target holds no customers"
  echo "SHOP.CUSTOMERS: $rows rows"
}

case "$mode" in
  build) build_and_inspect ;;
  install) install_and_run "$@" ;;
  *) echo "usage: $0 build|install BUILD WORK [SOURCE]" >&2; exit 2 ;;
esac
echo "OK"
