function expect_error(nout, call, pattern, label)
  % expect_error(nout, call, pattern, label): calls call() asking for nout
  % outputs and fails unless it raises an error whose message matches the
  % regular expression pattern.
  try
    switch nout
      case 0
        call();
      case 1
        a = call();
      case 2
        [a, b] = call();
      case 3
        [a, b, c] = call();
      case 4
        [a, b, c, d] = call();
      otherwise
        [a, b, c, d, e] = call();
    end
  catch err
    if isempty(regexp(err.message, pattern, 'once'))
      error('test:failed', '%s: error "%s" does not match "%s"', label, err.message, pattern);
    end
    return;
  end
  error('test:failed', '%s: no error raised (expected "%s")', label, pattern);
end
