#!/usr/bin/env bash
# Checks the layers of the code base:
#   - includes only go the allowed ways: app -> ui -> engine -> afx; tavq apart; lang a leaf; winsim,
#     the native build's <windows.h>, may be included by anything and includes nothing of the others;
#   - no object of a layer needs a symbol that only a layer above it defines (the link direction,
#     read from the native build's objects);
#   - no cycle between the rooms of engine/ (a room is a .h/.cpp pair; a .cpp without a header of
#     its own belongs to the room whose header it includes first);
# and reports, without failing, the Win32 functions winsim defines that nothing calls.
# Usage: check-layers.sh [native build dir]   (default build/native)
set -uo pipefail
cd "$(dirname "$0")/.."
native=${1:-build/native}

passed=0
failed=0
check() {  # check <name> <number of findings>
  if [ "$2" -eq 0 ]; then
    echo "ok    $1"
    passed=$((passed + 1))
  else
    echo "FAIL  $1: $2 finding(s)"
    failed=$((failed + 1))
  fi
}

layers=(app ui engine afx tavq lang winsim)
# What each layer may include besides itself.
declare -A allowed=(
  [app]="ui engine afx lang winsim"
  [ui]="engine afx lang winsim"
  [engine]="afx winsim"
  [afx]="winsim"
  [tavq]="winsim"
  [lang]="winsim"
  [winsim]=""
)
may_use() {  # may_use <from layer> <to layer>
  [ "$1" = "$2" ] && return 0
  case " ${allowed[$1]} " in *" $2 "*) return 0 ;; esac
  return 1
}

sources() {  # sources <dir>: the C, C++ and resource sources of a directory tree
  find "$1" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' -o -name '*.rc' \) | sort
}

# includes <file>: "<line>\t<resolved path or <system>>" for each #include of the file. A quoted name
# is looked up beside the file, then from the top of the tree; an angle-bracketed one in winsim's
# include folder (the native <windows.h>), else it is the system's.
includes() {
  local file=$1 dir
  dir=$(dirname "$file")
  grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][^">]+[">]' "$file" |
    sed -E 's/^([0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*(["<])([^">]+)[">].*/\1 \2 \3/' |
    while read -r line kind name; do
      if [ "$kind" = '"' ] && [ -f "$dir/$name" ]; then
        printf '%s\t%s\n' "$line" "$(realpath -m --relative-to=. "$dir/$name")"
      elif [ "$kind" = '"' ] && [ -f "$name" ]; then
        printf '%s\t%s\n' "$line" "$name"
      elif [ -f "winsim/include/$name" ]; then
        printf '%s\t%s\n' "$line" "winsim/include/$name"
      else
        printf '%s\t<system>\n' "$line"
      fi
    done
}

# ---- include directions ---------------------------------------------------------------------------
echo "== include directions (app -> ui -> engine -> afx; tavq apart; lang a leaf; winsim for anything)"
edges_file=$(mktemp)
trap 'rm -f "$edges_file"' EXIT
for layer in "${layers[@]}"; do
  bad=0
  while read -r file; do
    while IFS=$'\t' read -r line target; do
      [ "$target" = "<system>" ] && continue
      to=${target%%/*}
      [ "$layer" = engine ] && [ "$to" = engine ] && printf '%s\t%s\n' "$file" "$target" >>"$edges_file"
      if ! may_use "$layer" "$to"; then
        echo "  $file:$line includes $target ($layer -> $to)"
        bad=$((bad + 1))
      fi
    done < <(includes "$file")
  done < <(sources "$layer")
  if [ -n "${allowed[$layer]}" ]; then label="$layer/ includes only ${allowed[$layer]}"; else label="$layer/ includes nothing of the others"; fi
  check "$label" "$bad"
done

# ---- link directions --------------------------------------------------------------------------------
echo "== link directions (symbols a layer's objects need from the layers above it, native build)"
bad=0
if [ ! -f "$native/compile_commands.json" ]; then
  echo "  no $native/compile_commands.json: build the native tree first"
  bad=1
else
  root=$(pwd)
  objects=$(mktemp)
  symbols=$(mktemp)
  trap 'rm -f "$edges_file" "$objects" "$symbols"' EXIT
  # "<layer>\t<source>\t<object>" for each product object of the native build.
  jq -r '.[] | [.file, .directory, .command] | @tsv' "$native/compile_commands.json" |
    while IFS=$'\t' read -r file dir cmd; do
      src=${file#"$root"/}
      layer=${src%%/*}
      case " ${layers[*]} " in *" $layer "*) ;; *) continue ;; esac
      [ "$layer" = winsim ] && continue
      obj=$(echo "$cmd" | sed -E 's/.* -o ([^ ]+) .*/\1/')
      [ -f "$dir/$obj" ] && printf '%s\t%s\t%s\n' "$layer" "$src" "$dir/$obj"
    done >"$objects"
  # "<layer>\t<source>\t<U|D>\t<symbol>": strong definitions and undefined references.
  while IFS=$'\t' read -r layer src obj; do
    nm "$obj" 2>/dev/null | awk -v l="$layer" -v s="$src" '
      $1 == "U" { print l "\t" s "\tU\t" $2; next }
      NF == 3 && $2 ~ /^[TDBRGS]$/ { print l "\t" s "\tD\t" $3 }'
  done <"$objects" >"$symbols"
  if [ ! -s "$objects" ]; then
    echo "  no product objects under $native: build the native tree first"
    bad=1
  fi
  while IFS=$'\t' read -r layer src to defsrc sym; do
    if ! may_use "$layer" "$to"; then
      echo "  $src needs $(echo "$sym" | c++filt) defined in $defsrc ($layer -> $to)"
      bad=$((bad + 1))
    fi
  done < <(awk -F'\t' '
      $3 == "D" { def[$4] = $1 "\t" $2; inlayer[$1 SUBSEP $4] = 1; next }
      { use[++n] = $0 }
      END {
        for (i = 1; i <= n; i++) {
          split(use[i], u, "\t")
          if (!(u[4] in def) || ((u[1] SUBSEP u[4]) in inlayer)) continue
          split(def[u[4]], d, "\t")
          if (d[1] != u[1]) print u[1] "\t" u[2] "\t" d[1] "\t" d[2] "\t" u[4]
        }
      }' "$symbols" | sort -u)
fi
check "no layer needs a symbol defined only above it" "$bad"

# ---- cycles between engine rooms --------------------------------------------------------------------
echo "== cycles between the rooms of engine/"
room_of() {  # room_of <engine file>: its base name, or for a .cpp without a header the first room it includes
  local f=$1 base
  base=$(basename "${f%.*}")
  if [ "${f##*.}" = cpp ] && [ ! -f "engine/$base.h" ]; then
    local first
    first=$(awk -F'\t' -v f="$f" '$1 == f { print $2; exit }' "$edges_file")
    [ -n "$first" ] && base=$(basename "${first%.*}")
  fi
  echo "$base"
}
room_edges=$(
  while IFS=$'\t' read -r file target; do
    from=$(room_of "$file")
    to=$(basename "${target%.*}")
    [ "$from" != "$to" ] && printf '%s\t%s\t%s\n' "$from" "$to" "$file"
  done <"$edges_file" | sort -u
)
# Rooms reachable from each other (transitive closure) form a cycle; each one is printed with the
# includes that close it.
cycles=$(echo "$room_edges" | awk -F'\t' '
  NF == 3 {
    r[$1] = 1; r[$2] = 1; reach[$1, $2] = 1
    k = $1 SUBSEP $2; w = (k in why) ? why[k] ", " $3 : $3; why[k] = w
  }
  END {
    for (k in r) for (i in r) if ((i, k) in reach) for (j in r) if ((k, j) in reach) reach[i, j] = 1
    for (i in r) {
      if (!((i, i) in reach) || (i in done)) continue
      members = ""
      for (j in r) if ((i, j) in reach && (j, i) in reach) { done[j] = 1; members = members " " j; m[j] = 1 }
      print "cycle:" members
      for (a in m) for (b in m) if ((a, b) in why) print "  " a " -> " b "  (" why[a, b] ")"
      delete m
    }
  }')
if [ -n "$cycles" ]; then
  echo "$cycles" | sed 's/^/  /'
fi
check "no cycle between engine rooms" "$(printf '%s\n' "$cycles" | grep -c '^cycle:')"

# ---- winsim functions nothing calls (reported, not failed) ------------------------------------------
echo "== Win32 functions winsim defines that nothing calls (report only)"
tokens() {  # tokens <files...>: the identifiers of the files, comments left out of C and C++ sources
  for f in "$@"; do
    case "$f" in
      *.h | *.c | *.cpp | *.rc) sed -E 's://.*$::' "$f" | awk '
          { while (1) {
              if (inc) { e = index($0, "*/"); if (!e) { $0 = ""; break } $0 = substr($0, e + 2); inc = 0 }
              s = index($0, "/*"); if (!s) break
              rest = substr($0, s + 2); e = index(rest, "*/")
              if (e) { $0 = substr($0, 1, s - 1) " " substr(rest, e + 2) } else { $0 = substr($0, 1, s - 1); inc = 1; break }
            }
            print }' ;;
      *) cat "$f" ;;
    esac
  done | grep -ohE '[A-Za-z_][A-Za-z_0-9]*' | sort -u
}
functions=$(grep -rhoE 'WINAPI +[A-Za-z_][A-Za-z_0-9]* *\(' winsim/include | sed -E 's/WINAPI +//; s/ *\($//' | sort -u)
# Unsuffixed names (MessageBox) stand for the function they are defined as (MessageBoxA).
aliases=$(grep -rhE '^#define [A-Za-z_][A-Za-z_0-9]* [A-Za-z_][A-Za-z_0-9]*$' winsim/include | awk '{ print $2 "\t" $3 }')
callers=$(find app ui engine afx tavq tests e2e -type f \( -name '*.h' -o -name '*.c' -o -name '*.cpp' -o -name '*.rc' -o -name '*.sh' \) \
  -not -path 'tests/winsim/*' | sort)
own_tests=$(find tests/winsim -type f | sort)
resolve() { awk -F'\t' 'NR == FNR { a[$1] = $2; next } { print; if ($1 in a) print a[$1] }' <(echo "$aliases") - | sort -u; }
# shellcheck disable=SC2086
used=$(tokens $callers | resolve)
# shellcheck disable=SC2086
used_by_own_tests=$(tokens $own_tests | resolve)
unused=$(comm -23 <(echo "$functions") <(echo "$used"))
only_own=$(comm -12 <(echo "$unused") <(echo "$used_by_own_tests"))
none=$(comm -23 <(echo "$unused") <(echo "$used_by_own_tests"))
# lines_of <name>: the lines of the function's definition in winsim/src.
lines_of() {
  awk -v n="$1" '
    !body && $0 ~ ("WINAPI[ \t]+" n "[ \t]*\\(") && $0 !~ /;[ \t]*$/ { body = 1; count = 0 }
    body { count++; if ($0 ~ /^}/) { total += count; body = 0 } }
    END { print total + 0 }' winsim/src/*.cpp
}
report() {  # report <title> <names>
  local names=$2 total=0 n=0 l
  [ -z "$names" ] && { echo "  $1: none"; return; }
  echo "  $1:"
  for f in $names; do
    l=$(lines_of "$f")
    total=$((total + l))
    n=$((n + 1))
    # A function winsim's own code calls stays while that caller does.
    inside=$(grep -hE "\b$f[[:space:]]*\(" winsim/src/*.cpp | grep -v 'WINAPI' | grep -vcE '^[[:space:]]*//')
    printf '    %-34s %4s lines  %s%s\n' "$f" "$l" \
      "$(grep -lE "WINAPI[[:space:]]+$f[[:space:]]*\(" winsim/src/*.cpp | xargs -r -n1 basename | tr '\n' ' ')" \
      "$([ "$inside" -gt 0 ] && echo "(called inside winsim)")"
  done
  echo "    ($n functions, $total lines)"
}
report "called by nothing" "$none"
report "called only by winsim's own tests (tests/winsim)" "$only_own"
echo "  $(echo "$unused" | grep -c .) of $(echo "$functions" | grep -c .) Win32 functions of winsim are called by no product, conformance, product-test or e2e file"

echo "layers: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
