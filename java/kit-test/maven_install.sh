#!/usr/bin/env bash
# The README's install command puts the jar, its sources and its Javadoc into a local Maven
# repository (a temporary one here), offline: the install plugin comes from Debian's Maven
# repository through a file mirror. Installs mvn and Debian's install plugin when missing;
# exits 77 only when they cannot be installed.
# Usage: maven_install.sh JAR POM
set -euo pipefail
jar=$1 pom=$2
debian_repo=/usr/share/maven-repo
plugin_dir=$debian_repo/org/apache/maven/plugins/maven-install-plugin
maven_ready() { command -v mvn && ls -d "$plugin_dir"/3.*; } >/dev/null 2>&1
if ! maven_ready; then
    "$(dirname "$0")/../../scripts/install-packages.sh" maven libmaven-install-plugin-java || true
    maven_ready || {
        echo "SKIPPED: maven and libmaven-install-plugin-java cannot be installed"
        exit 77
    }
fi
plugin=$(basename "$(ls -d "$plugin_dir"/3.* | sort -V | tail -1)")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/settings.xml" <<SETTINGS
<settings><mirrors><mirror><id>debian</id><mirrorOf>*</mirrorOf>
<url>file://$debian_repo</url></mirror></mirrors></settings>
SETTINGS
mvn -o -q -B -s "$work/settings.xml" -Daether.offline.protocols=file \
    -Dmaven.repo.local="$work/repo" \
    "org.apache.maven.plugins:maven-install-plugin:$plugin:install-file" \
    -Dfile="$jar" -DpomFile="$pom" -Dsources="${jar%.jar}-sources.jar" \
    -Djavadoc="${jar%.jar}-javadoc.jar"
name=$(basename "$jar" .jar)
version=${name#i2cdln-}
installed=$work/repo/i2cdln/i2cdln/$version
for file in "$name.jar" "$name.pom" "$name-sources.jar" "$name-javadoc.jar"; do
    [ -s "$installed/$file" ] || { echo "FAIL: $installed/$file is missing"; ls -R "$work/repo"; exit 1; }
done
cmp "$jar" "$installed/$name.jar"
echo "installed as i2cdln:i2cdln:$version with sources and Javadoc"
