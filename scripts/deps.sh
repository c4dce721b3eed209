# Debian packages the project needs, and the function that installs the
# missing ones. Sourced by demo.sh and test.sh.

BUILD_PACKAGES=(cmake make g++ pkg-config libcups2-dev libssl-dev libicu-dev cups-ppdc cups-client
                libpappl-dev libcairo2-dev libsnmp-dev libpam0g-dev libavahi-client-dev)
TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev openssl icu-devtools clang libclang-rt-14-dev time
               cups cups-client cups-bsd cups-ipp-utils snmpd snmp socat python3
               debhelper dpkg-dev iproute2 ghostscript poppler-utils curl avahi-daemon avahi-utils dbus)
DEMO_PACKAGES=(cups cups-client python3)

# ensure_packages pkg...: install whichever of the packages are missing.
# As root this runs apt-get; otherwise it prints the command and fails.
ensure_packages() {
  local missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local cmd="apt-get install -y --no-install-recommends ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages. Install them as root with:" >&2
    echo "  apt-get update && $cmd" >&2
    return 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # Package scripts may try to start services; a container without init
  # refuses, which is harmless here.
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
