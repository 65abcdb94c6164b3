/* corvash.rc needs nothing from this header beyond the progress bar class name, which it spells out. */
