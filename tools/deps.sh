# Sourced by the tools: installs the Debian packages that are missing.
#   install_packages PACKAGE...
#   make_test_locale
install_packages() {
  missing=""
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
      missing="$missing $package"
  done
  [ -z "$missing" ] && return 0
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
}

BUILD_PACKAGES="cmake make g++ libc6-dev nlohmann-json3-dev"
TEST_PACKAGES="$BUILD_PACKAGES googletest libgtest-dev libgmock-dev mingw-w64 wine64 locales clang libclang-rt-14-dev librsvg2-bin"

# A double-byte locale whose characters can end in a backslash byte, for the
# multibyte tests; they skip themselves where it cannot be made.
make_test_locale() {
  locale -a 2>/dev/null | grep -qi '^zh_TW\.big5$' ||
    localedef -i zh_TW -f BIG5 zh_TW.BIG5 >/dev/null 2>&1 || true
}
