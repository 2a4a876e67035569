"""scripts/tournament's modules: the command line, one battle, the figures and their statistics,
the sequential test, the results on disk and on the page, and the merge of shards."""
