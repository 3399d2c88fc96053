function a = fresh(values)
  % A new array holding values, for a plug-in's z argument. The plug-ins
  % write the solution into z in place, and in Octave that write reaches
  % every value sharing z's storage, the literal constants of the calling
  % code included: a literal passed as z would hold the last solution the
  % next time that line runs.
  a = values + 0;
end
