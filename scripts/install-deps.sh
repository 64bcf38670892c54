#!/usr/bin/env bash
# Installs every Debian 12 package needed to build, test and run the project.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends \
    cmake g++ make pkg-config \
    qtbase5-dev qtdeclarative5-dev qtdeclarative5-dev-tools qml-module-qttest \
    libsqlite3-dev libzip-dev libglib2.0-dev \
    libaccounts-qt5-dev libaccounts-glib-tools \
    dbus libgtest-dev libgmock-dev libbenchmark-dev \
    locales-all openssl
