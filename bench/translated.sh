#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The translated search (brisel-search --fasta --translate) against its peers
# and on genomes of every size:
#   peer     the 16 site patterns of data/site-patterns.txt at -e 9 over a
#            random genome of 5 million bases, six frames: EMBOSS fuzztran
#            (all patterns from one file, -pattern @file; two processes on the
#            two cores, each with half of the patterns) against brisel-search
#            -j 2; the hits must be the same apart from fuzztran's hits that
#            contain a stop (fuzztran_hits.py, translated_checks.py peer)
#   seqkit   the same search as `seqkit translate -f 6 | brisel-search --fasta -`
#            (the translation done by seqkit, each frame searched whole)
#            against brisel-search --translate, both on two cores
#   prosite  the PROSITE-like set (bench/prosite-like-patterns.txt, 4,034
#            motifs) at the default cut-off over a genome of 100 million
#            bases in one record, six frames, -j 2: time and peak memory, with
#            the motifs built from the patterns (--patterns) and from a motif
#            database (-m)
#   long     the PROSITE-like set over one record of 250 million bases, -j 1
#            and -j 2: peak memory against the record's size, the CPU time of
#            each thread, and the same output for both
#   truth    the site patterns at -e 9 over the genome of back-translated real
#            proteins (make_test_genome.py proteins, table 11): the hits on
#            each protein's stretch are the direct search's hits of the protein
#            mapped onto the genome by the truth (translated_checks.py truth)
#
#   bench/translated.sh [RUNS]
#
# RUNS (default 3) runs of each timed command but fuzztran's (once); prints
# the median wall time, the CPU time (user + system) and the peak resident
# memory (GNU time) of each, and the ratios. GENOMES=dir holds random-5M.fasta,
# random-100M.fasta, random-250M.fasta and proteins-20k-t11.{fasta,tsv} (the
# ones missing are made with make_test_genome.py, seeds below, into the work
# directory); CASES="peer seqkit prosite long truth" chooses. Needs fuzztran
# (Debian's emboss) and seqkit on PATH for the first two. Builds nothing: run
# `make build` first. Fails when a check fails.
set -euo pipefail
runs=${1:-3}
here=$(cd "$(dirname "$0")/.." && pwd)
search=$here/build/bin/brisel-search
makedb=$here/build/bin/brisel-makedb
sites=$here/data/site-patterns.txt
prosite=$here/bench/prosite-like-patterns.txt
cases=${CASES:-peer seqkit prosite long truth}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
genomes=${GENOMES:-$work}

genome() {  # NAME: the path of a test genome, made when missing
  local name=$1 path=$genomes/$1
  [ -f "$path" ] || path=$work/$name
  if [ ! -f "$path" ]; then
    case $name in
      random-5M.fasta) python3 "$here/bench/make_test_genome.py" random --bases 5000000 \
        --seed 5 --out "$path" ;;
      random-100M.fasta) python3 "$here/bench/make_test_genome.py" random --bases 100000000 \
        --seed 100 --out "$path" ;;
      random-250M.fasta) python3 "$here/bench/make_test_genome.py" random --bases 250000000 \
        --seed 250 --out "$path" ;;
      proteins-20k-t11.fasta | proteins-20k-t11.tsv)
        python3 "$here/bench/make_test_genome.py" proteins --proteins "${PROTEINS:?PROTEINS=file}" \
          --count 20000 --table 11 --records 4 --seed 11 --out "$work/proteins-20k-t11.fasta" \
          --truth "$work/proteins-20k-t11.tsv"
        path=$work/$name ;;
    esac
  fi
  echo "$path"
}

# name, command...: wall, CPU (user + system) and peak KiB of one run, appended
# to $work/name.times; standard output to $work/name.out.
measure() {
  local name=$1 start end
  shift
  sync
  start=$EPOCHREALTIME
  /usr/bin/time -f "%U %S %M" -o "$work/time" "$@" > "$work/$name.out" 2> "$work/$name.err" ||
    { echo "$name failed: $(tail -c 300 "$work/$name.err")" >&2; exit 1; }
  end=$EPOCHREALTIME
  read -r user system peak < <(tail -1 "$work/time")
  echo "$(echo "$end - $start" | bc -l) $(echo "$user + $system" | bc -l) $peak" >> "$work/$name.times"
}
median() {  # name column: the median of a column of $work/name.times
  sort -g -k"$2" "$work/$1.times" | awk -v c="$2" '{v[NR] = $c} END {print v[int((NR + 1) / 2)]}'
}
most() {  # name column: the largest value of a column
  sort -g -k"$2" "$work/$1.times" | tail -1 | awk -v c="$2" '{print $c}'
}
report() {  # name: one line of figures
  printf "%-28s wall %8.2f s  CPU %8.2f s  peak %8.1f MiB\n" "$1" "$(median "$1" 1)" \
    "$(median "$1" 2)" "$(echo "$(most "$1" 3) / 1024" | bc -l)"
}
status=0
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

if [[ " $cases " == *" peer "* ]]; then
  g=$(genome random-5M.fasta)
  for part in 1 2; do
    python3 "$here/bench/fuzztran_hits.py" patterns "$sites" --part "$part/2" > "$work/half$part"
  done
  # Both halves at once, one per core, each timed on its own.
  start=$EPOCHREALTIME
  for part in 1 2; do
    /usr/bin/time -f "%U %S %M" -o "$work/fuzztran$part.time" fuzztran -sequence "$g" \
      -sformat1 pearson -pattern "@$work/half$part" -frame 6 -table 0 -rformat excel \
      -outfile "$work/fuzztran$part.excel" -auto > /dev/null 2>&1 &
  done
  wait
  end=$EPOCHREALTIME
  fuzztranWall=$(echo "$end - $start" | bc -l)
  fuzztranCpu=$(cat "$work/fuzztran1.time" "$work/fuzztran2.time" | awk '{s += $1 + $2} END {print s}')
  python3 "$here/bench/fuzztran_hits.py" hits --genome "$g" "$work/fuzztran1.excel" \
    "$work/fuzztran2.excel" > "$work/fuzztran.tsv" 2> "$work/fuzztran.stops"
  for ((i = 0; i < runs; i++)); do
    measure brisel-5M "$search" --patterns "$sites" --fasta "$g" --translate -e 9 -j 2 -F tsv
  done
  echo
  echo "peer: 16 site patterns at -e 9, random 5 Mb, six frames"
  printf "%-28s wall %8.2f s  CPU %8.2f s\n" "fuzztran, 2 processes" "$fuzztranWall" "$fuzztranCpu"
  report brisel-5M
  echo "fuzztran / brisel: wall $(echo "$fuzztranWall / $(median brisel-5M 1)" | bc -l | cut -c1-7)," \
    "CPU (per core) $(echo "$fuzztranCpu / $(median brisel-5M 2)" | bc -l | cut -c1-7) (target at least 300)"
  cat "$work/fuzztran.stops"
  python3 "$here/bench/translated_checks.py" peer "$work/brisel-5M.out" "$work/fuzztran.tsv" ||
    status=1
fi

if [[ " $cases " == *" seqkit "* ]]; then
  g=$(genome random-5M.fasta)
  for ((i = 0; i < runs; i++)); do
    measure seqkit-pipe sh -c "seqkit translate -f 6 -w 0 '$g' | '$search' --patterns '$sites' \
      --fasta - -e 9 -j 2"
    measure translated-5M "$search" --patterns "$sites" --fasta "$g" --translate -e 9 -j 2
  done
  echo
  echo "seqkit: the same search, translated by seqkit translate -f 6 or by brisel"
  report seqkit-pipe
  report translated-5M
  echo "seqkit pipe / brisel --translate: wall" \
    "$(echo "$(median seqkit-pipe 1) / $(median translated-5M 1)" | bc -l | cut -c1-6) (target at least 1)"
fi

if [[ " $cases " == *" prosite "* ]]; then
  g=$(genome random-100M.fasta)
  "$makedb" motifs -q "$prosite" "$work/prosite" 2> /dev/null
  for ((i = 0; i < runs; i++)); do
    measure prosite-100M "$search" --patterns "$prosite" --fasta "$g" --translate -j 2
    measure prosite-100M-db "$search" -l -m "$work/prosite" --fasta "$g" --translate -j 2
  done
  echo
  echo "prosite: PROSITE-like set, default cut-off, 100 Mb in one record, six frames, -j 2"
  report prosite-100M
  report prosite-100M-db
  echo "target: at most 10 s; hits $(grep -vc '^>' "$work/prosite-100M.out" || true)"
fi

if [[ " $cases " == *" long "* ]]; then
  g=$(genome random-250M.fasta)
  "$makedb" motifs -q "$prosite" "$work/prosite" 2> /dev/null
  bases=$(grep -v '^>' "$g" | tr -d '\n' | wc -c)
  for ((i = 0; i < runs; i++)); do
    measure long-j2 "$search" -l -m "$work/prosite" --fasta "$g" --translate -j 2
    measure long-j1 "$search" -l -m "$work/prosite" --fasta "$g" --translate -j 1
  done
  echo
  echo "long: one record of $bases bases, PROSITE-like set, six frames"
  report long-j1
  report long-j2
  echo "peak / record: $(echo "$(most long-j2 3) * 1024 / $bases" | bc -l | cut -c1-5)" \
    "(target about 3); CPU / wall at -j 2: $(echo "$(median long-j2 2) / $(median long-j2 1)" |
      bc -l | cut -c1-5)"
  # The CPU of each thread of one more run at -j 2 (a loaded machine gives
  # a process less than its two cores, so wall times cannot show it).
  python3 - "$search" -l -m "$work/prosite" --fasta "$g" --translate -j 2 <<'PY'
import os, subprocess, sys, time
run = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
tick, seen = os.sysconf("SC_CLK_TCK"), {}
while run.poll() is None:
    try:
        for task in os.listdir(f"/proc/{run.pid}/task"):
            with open(f"/proc/{run.pid}/task/{task}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            seen[task] = (int(fields[11]) + int(fields[12])) / tick
    except OSError:
        pass
    time.sleep(0.2)
print("CPU seconds of each thread at -j 2:", ", ".join(f"{v:.2f}" for v in sorted(seen.values(), reverse=True)))
PY
  if cmp -s "$work/long-j1.out" "$work/long-j2.out" && cmp -s "$work/long-j1.err" "$work/long-j2.err"
  then
    echo "-j 1 and -j 2: identical output"
  else
    echo "-j 1 and -j 2 differ" >&2
    status=1
  fi
fi

if [[ " $cases " == *" truth "* ]]; then
  g=$(genome proteins-20k-t11.fasta)
  t=$(genome proteins-20k-t11.tsv)
  awk -F'\t' 'NR > 1 {print ">p" NR - 1; print $8}' "$t" > "$work/encoded.fasta"
  "$search" --patterns "$sites" --fasta "$work/encoded.fasta" -e 9 -F tsv > "$work/encoded.tsv" \
    2> /dev/null
  measure truth "$search" --patterns "$sites" --fasta "$g" --translate --table 11 -e 9 -j 2 -F tsv
  echo
  echo "truth: 20,000 back-translated proteins, table 11, site patterns at -e 9"
  report truth
  python3 "$here/bench/translated_checks.py" truth "$t" "$work/encoded.tsv" "$work/truth.out" ||
    status=1
fi
echo
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
