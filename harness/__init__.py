"""Runs the real Falwick.EXE under Wine against local servers, for the end-to-end tests,
the demo, the preview and the benchmarks alike.

  programs   the built Windows programs of a build tree, by name
  sample     the sample product and versions, info files, the nine tokens
  wine       a Wine session: prefix, X display, wineserver, runs, registry
  offline    runs in a network namespace that has only loopback
  server     a local http(s) server answering from a scenario, recording requests
  certs      a CA and server certificates made on the spot, trusted by the prefix
  proxy      the Windows proxy setting
  squid      Debian's squid as the office proxy: forwarding, CONNECT, 407, its cache
  falwick    the one place a program directory is laid out; the stand-in browser's
             record; what a run leaves elsewhere
  notice     the notice dialog read and answered from outside, and its picture
  host       the sample host product (examples/host) starting Falwick, driven
  runs       the one way Falwick runs: a batch of runs (one, or many at once), each
             watched from every side, its memory sampled
  peak_memory a running process's peak memory, sampled from /proc
  info_tool  falwick-info.exe and its JSON reports
  ini        a settings file as the profile functions read it
  prepare    the prefixes of an end-to-end test run

Nothing here imports from the tests; the tests, scripts/demo, scripts/preview and
scripts/bench import this (the scripts put the source tree on PYTHONPATH)."""
