function test_failures()
  % Bad results of the user's function, domain errors, bad bounds, option
  % files that never end and a log that cannot be written: each ends in a clear error or in status 0, never
  % in a crash, and the next call solves.
  global FAULT FAULT_CALLS
  FAULT_CALLS = 0;
  write_options();

  % FAULT, nnz argument, message pattern of the error
  errors = {
    'error',       4, 'Evaluation function faulty raised an error'
    'short_f',     4, 'must return f as a real full double array of at least 2 entries'
    'complex_f',   4, 'must return f as a real full double array'
    'sparse_f',    4, 'must return f as a real full double array'
    'full_J',      4, 'must return J as a real sparse 2-by-2 matrix'
    'wide_J',      4, 'must return J as a real sparse 2-by-2 matrix'
    'text_domerr', 4, 'must return domerr as a real scalar'
    'one_output',  4, 'Evaluation function faulty must return f, J and domerr'
    'none',        3, '^mcpgate: Jacobian has too many entries: update nnz in sarnmcp.m'
  };
  for k = 1:rows(errors)
    [FAULT, bound, pattern] = errors{k, :};
    z = fresh([0; 0]);
    expect_error(4, @() mcpgate(2, bound, z, [0; 0], [Inf; Inf], 'faulty'), pattern, FAULT);
    expect_good_solves(FAULT);
  end
  % An error of the user's function comes back with its own message and
  % identifier (none when it has none).
  % FAULT, identifier, message
  user_errors = {
    'error',           'faulty:failed',    'the evaluation failed on purpose'
    'error_formatted', 'faulty:formatted', 'the user message 42'
    'error_no_id',     '',                 'the evaluation failed without an identifier'
  };
  for k = 1:rows(user_errors)
    [FAULT, id, text] = user_errors{k, :};
    z = fresh([0; 0]);
    try
      [status, time] = mcpgate(2, 4, z, [0; 0], [Inf; Inf], 'faulty');
      error('test:failed', '%s: no error raised', FAULT);
    catch err
      expect(strcmp(err.message, ['mcpgate: Evaluation function faulty raised an error: ' text]), ...
             '%s: message "%s"', FAULT, err.message);
      expect(strcmp(err.identifier, id), '%s: identifier "%s"', FAULT, err.identifier);
    end
  end
  expect_good_solves('an error of the user''s function');

  % An error in the middle of a solve, with every record of the solver made.
  FAULT = 'late_error';
  FAULT_CALLS = 0;
  z = fresh([30; 5]);
  expect_error(4, @() mcpgate(2, 4, z, [-Inf; -Inf], [Inf; Inf], 'faulty'), ...
               'Evaluation function faulty raised an error', FAULT);
  expect(FAULT_CALLS >= 3, 'late error: only %d Jacobian evaluations', FAULT_CALLS);
  expect_good_solves(FAULT);

  z = fresh(0);
  expect_error(2, @() mcpgate(1, 1, z, 0, Inf, 'no_such_function'), ...
               'Evaluation function no_such_function raised an error', 'missing function');
  expect_error(2, @() mcpgate(1, 1, z, 0, Inf, 'reentrant'), ...
               'mcpgate cannot be called again while it is solving', 're-entry');
  expect_good_solves('re-entry');

  % A Jacobian with exactly as many entries as nnz allows is accepted.
  FAULT = 'none';
  z = fresh([0; 0]);
  [status, time, F, J] = mcpgate(2, 4, z, [0; 0], [Inf; Inf], 'faulty');
  expect(status == 1 && nnz(J) == 4, 'Jacobian at the room: status %g', status);

  % domerr counts: 0.9 counts as none, 2.7 and NaN as domain errors. A
  % function undefined everywhere ends with status 0 and no error; its point
  % comes back, F is unknown (NaN) and the Jacobian empty.
  FAULT = 'domerr_0.9';
  z = fresh([0; 0]);
  [status, time, F, J] = mcpgate(2, 4, z, [0; 0], [Inf; Inf], 'faulty');
  expect(status == 1 && norm(z - [1; 2]) < 1e-6, 'domerr 0.9: status %g', status);
  for fault = {'domerr_2.7', 'domerr_NaN'}
    FAULT = fault{1};
    z = fresh([3; 3]);
    [status, time, F, J] = mcpgate(2, 4, z, [0; 0], [Inf; Inf], 'faulty');
    expect(status == 0, '%s: status %g', FAULT, status);
    expect(all(isfinite(z)) && all(isnan(F)) && nnz(J) == 0 && isequal(size(J), [2 2]), ...
           '%s: outputs', FAULT);
    expect_good_solves(FAULT);
  end

  % Bounds that admit no point end with status 0 before any evaluation: F
  % unknown, Jacobian empty.
  bounds = {
    [1; 0],    [0; Inf],   'lower above upper'
    [NaN; 0],  [Inf; Inf], 'NaN lower bound'
    [0; 0],    [NaN; Inf], 'NaN upper bound'
    [Inf; 0],  [Inf; Inf], 'lower bound +Inf'
    [-Inf; 0], [-Inf; Inf], 'upper bound -Inf'
  };
  for k = 1:rows(bounds)
    [lb, ub, label] = bounds{k, :};
    counting_f([], 'reset');
    z = fresh([0.5; 0.5]);
    [status, time, F, J] = mcpgate(2, 4, z, lb, ub, 'counting_f');
    expect(status == 0 && all(isnan(F)) && nnz(J) == 0, 'mcpgate, %s: status %g', label, status);
    z = fresh([0.5; 0.5]);
    [status, time, F, basis] = lcpgate(2, 2, z, lb, ub, speye(2), -[1; 2]);
    expect(status == 0 && all(ismember(basis, [-1 0 1])), 'lcpgate, %s: status %g', label, status);
    expect_good_solves(label);
  end

  % A solve that runs out of iterations ends with status 0; F and J come
  % back as the function's own at the returned point.
  write_options('major_iteration_limit 1', 'crash_method none');
  z = -ones(10, 1);
  [status, time, F, J] = mcpgate(10, 28, z, -Inf(10, 1), Inf(10, 1), 'broyden_tridiagonal');
  expect(status == 0, 'iteration limit: status %g', status);
  expect_log('EXIT - major iteration limit');
  [f_here, J_here] = broyden_tridiagonal(z, 1);
  expect(norm(F - f_here, Inf) <= 1e-12 && isequal(J, J_here), 'iteration limit: F and J at z');
  write_options();
  expect_good_solves('an iteration limit');

  % No log file can be written: the solve goes on without one.
  delete('logfile.tmp');
  mkdir('logfile.tmp');
  expect_good_solves('no log file');
  rmdir('logfile.tmp');

  % An option file that never ends (a link to an endless device) or that
  % has nothing to give (a pipe without a writer): the read stops, says so
  % for the endless one, and the solve goes on with the defaults.
  for kind = {'endless', 'pipe'}
    write_options();
    if strcmp(kind{1}, 'endless')
      [ok, msg] = symlink('/dev/zero', 'sarn.opt');
    else
      [ok, msg] = mkfifo('sarn.opt', 600);
    end
    expect(ok == 0, 'cannot make the %s option file: %s', kind{1}, msg);
    z = fresh([0; 0]);
    [status, time] = mcpgate(2, 2, z, [0; 0], [Inf; Inf], 'shifted_identity');
    expect(status == 1 && norm(z - [1; 2]) < 1e-8, '%s option file: status %g', kind{1}, status);
    if strcmp(kind{1}, 'endless')
      expect_log('Read of options file stopped early');
    end
    delete('sarn.opt');
  end
  write_options();

  % lcpgate inside mcpgate's evaluation: another plug-in, allowed.
  z = fresh([0; 0]);
  [status, time] = mcpgate(2, 2, z, [0; 0], [Inf; Inf], 'calls_lcpgate');
  expect(status == 1 && norm(z - [1; 2]) < 1e-8, 'lcpgate inside mcpgate');
  expect_good_solves('nested plug-ins');
end

function expect_good_solves(label)
  z = fresh([0; 0]);
  [status, time, F, J] = mcpgate(2, 2, z, [0; 0], [Inf; Inf], 'shifted_identity');
  expect(status == 1 && norm(z - [1; 2]) < 1e-8 && norm(F) < 1e-8 && isequal(J, speye(2)), ...
         'mcpgate after %s', label);
  z = fresh([0; 0]);
  [status, time, F, basis] = lcpgate(2, 2, z, [0; 0], [Inf; Inf], speye(2), -[1; 2]);
  expect(status == 1 && norm(z - [1; 2]) < 1e-8 && norm(F) < 1e-8, 'lcpgate after %s', label);
end
