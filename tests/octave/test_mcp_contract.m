function test_mcp_contract()
  % What mcpgate promises around a solve: the early exits, the size line and
  % the Jacobian room, the optional start vector and the option file, the
  % outputs asked for, the solution written into z, the Jacobian output, and
  % the log.
  degenerate_model();
  size_lines();
  jacobian_output();
  two_outputs();
  start_vector();
  log_contents();
end

function degenerate_model()
  % n = 0: solved without calling the function.
  write_options();
  counting_f([], 'reset');
  z = zeros(0, 1);
  [status, time, F, J] = mcpgate(0, 5, z, z, z, 'counting_f');
  expect(status == 1 && time >= 0, 'n = 0: status %g', status);
  expect(isequal(size(F), [0 1]) && isequal(size(J), [0 0]) && issparse(J), 'n = 0: output sizes');
  expect(counting_f([], 'count') == 0, 'n = 0: the function was called');
  expect_log('Sarn 4.7.03: Matlab Link', sprintf('\n ** EXIT - solution found (degenerate model).\n'));
  [status, time] = mcpgate(0, 0, [], [], [], 'counting_f');
  expect(status == 1, 'n = 0 with two outputs');
end

function size_lines()
  write_options();
  % n, nnz, expected line, room the library gets. nnz is capped at n*n,
  % however large; the Jacobian output has room for its entries only.
  cases = {
    3, 5,          '3 row/cols, 5 non-zeros, 55.56% dense.', 5
    3, 100,        '3 row/cols, 9 non-zeros, 100.00% dense.', 9
    3, 3,          '3 row/cols, 3 non-zeros, 33.33% dense.', 3
    3, 3.9,        '3 row/cols, 3 non-zeros, 33.33% dense.', 3
    3, Inf,        '3 row/cols, 9 non-zeros, 100.00% dense.', 9
    3, 1e10,       '3 row/cols, 9 non-zeros, 100.00% dense.', 9
    3, 2147483648, '3 row/cols, 9 non-zeros, 100.00% dense.', 9
  };
  for k = 1:rows(cases)
    [n, bound, line, room] = cases{k, :};
    z = zeros(n, 1);
    [status, time, F, J] = mcpgate(n, bound, z, zeros(n, 1), Inf(n, 1), 'shifted_identity');
    expect(status == 1 && norm(z - (1:n)') < 1e-8, 'size case %d: not solved', k);
    expect_log(sprintf('%s\n\n', line));
    expect(nzmax(J) == nnz(J) && nnz(J) == 3 && room >= 3, ...
           'size case %d: room %d of the Jacobian output, not fitted to its entries', k, nzmax(J));
  end
  % nnz = 0: no Jacobian entries allowed, and none needed by this problem.
  z = fresh([2; 2]);
  [status, time, F, J] = mcpgate(2, 0, z, [0; 0], [5; 5], 'constant_f');
  expect_log(sprintf('2 row/cols, 0 non-zeros, 0.00%% dense.\n\n'));
  expect(status == 1 && norm(z - [0; 5]) < 1e-8 && nnz(J) == 0, 'nnz = 0: not solved');
  % A model whose room does not fit 32-bit counts ends before anything is
  % evaluated, with status 0 and F unknown (NaN).
  n = 50000;
  for bound = [2147483647, Inf, 1e10]
    counting_f([], 'reset');
    z = zeros(n, 1);
    [status, time, F, J] = mcpgate(n, bound, z, z, Inf(n, 1), 'counting_f');
    expect(status == 0 && nnz(J) == 0 && isequal(size(J), [n n]), 'too large model, nnz %g', bound);
    expect(all(z == 0) && isequal(size(F), [n 1]) && all(isnan(F)), 'too large model: z or F');
    expect(counting_f([], 'count') == 0, 'too large model, nnz %g: the function was called', bound);
    expect_log(sprintf('\n ** EXIT - model too large.\n'));
  end
end

function jacobian_output()
  % J comes back as the user's Jacobian at the solution, empty and full
  % columns included; F is F at the solution; z holds the solution.
  write_options();
  z = fresh([0; 0; 0]);
  z_before = z;
  [status, time, F, J] = mcpgate(3, 9, z, zeros(3, 1), Inf(3, 1), 'column_pattern');
  expect(status == 1, 'column pattern: status %g', status);
  expect(norm(z - [1; 1; 0]) < 1e-8, 'column pattern: z not written in place');
  [f_user, J_user] = column_pattern(z, 1);
  expect(issparse(J) && isequal(size(J), [3 3]), 'column pattern: J not sparse 3-by-3');
  expect(isequal(J, J_user), 'column pattern: J differs from the user''s');
  expect(norm(F - f_user) <= 1e-12, 'column pattern: F differs from F(z)');
  check_oracle(z, zeros(3, 1), Inf(3, 1), f_user, 1e-6, 'column pattern');
end

function two_outputs()
  % Two outputs: z still receives the solution.
  write_options();
  z = fresh([5; 5; 5]);
  [status, time] = mcpgate(3, 3, z, zeros(3, 1), Inf(3, 1), 'shifted_identity');
  expect(status == 1 && norm(z - [1; 2; 3]) < 1e-8, 'two outputs: z not written');
end

function start_vector()
  % A 7th input forces presolve off, crash off, no crash perturbation and the
  % first Lemke start; a line of sarn.opt overrides a forced line.
  write_options('output_options yes');
  z = fresh([0; 0; 0]);
  [status, time] = mcpgate(3, 3, z, zeros(3, 1), Inf(3, 1), 'shifted_identity', [1; 1; 1]);
  expect(status == 1 && norm(z - [1; 2; 3]) < 1e-8, 'start vector: not solved');
  expect_log(sprintf('\npresolve no\n'), sprintf('\ncrash_method none\n'), ...
             sprintf('\ncrash_perturb no\n'), sprintf('\nlemke_start first\n'));

  write_options('output_options yes', 'presolve yes', 'crash_method pnewton');
  z = fresh([0; 0; 0]);
  [status, time] = mcpgate(3, 3, z, zeros(3, 1), Inf(3, 1), 'shifted_identity', [1; 1; 1]);
  expect(status == 1, 'start vector with option file: not solved');
  expect_log(sprintf('\npresolve yes\n'), sprintf('\ncrash_method pnewton\n'), ...
             sprintf('\ncrash_perturb no\n'), sprintf('\nlemke_start first\n'));

  % Without the 7th input the defaults stand.
  write_options('output_options yes');
  z = fresh([0; 0; 0]);
  [status, time] = mcpgate(3, 3, z, zeros(3, 1), Inf(3, 1), 'shifted_identity');
  log = log_text();
  expect(isempty(strfind(log, sprintf('\nlemke_start first\n'))), 'defaults: lemke_start forced');
end

function log_contents()
  % The log holds the link line, the size line, the option listing, the
  % banner and the exit line, in this order.
  write_options('output_options yes');
  z = fresh([0; 0]);
  [status, time] = mcpgate(2, 2, z, [0; 0], [Inf; Inf], 'shifted_identity');
  log = log_text();
  marks = {'Sarn 4.7.03: Matlab Link', '2 row/cols, 2 non-zeros, 50.00% dense.', ...
           sprintf('\npresolve yes\n'), 'Sarn 4.7.03 (', ' ** EXIT - solution found.'};
  last = 0;
  for k = 1:numel(marks)
    at = strfind(log, marks{k});
    expect(~isempty(at), 'log lacks "%s"', marks{k});
    expect(at(1) > last, 'log has "%s" out of order', marks{k});
    last = at(1);
  end
end
