function test_lcp_contract()
  % What lcpgate promises around a solve: the degenerate exit, the size
  % line and the bound nnz, the too-large exit, the bound-status output, the optional start vector and the option
  % file, and the solution written into z.
  write_options();
  z = zeros(0, 1);
  [status, time, F, basis] = lcpgate(0, 3, z, z, z, sparse(0, 0), z);
  expect(status == 1 && isequal(size(F), [0 1]) && isequal(size(basis), [0 1]), 'n = 0');
  expect_log('Sarn 4.7.03: Matlab Link', sprintf('\n ** EXIT - solution found (degenerate model).\n'));

  % nnz = 0 and an M without entries: F = q.
  z = fresh([0.5; 0.5]);
  [status, time, F, basis] = lcpgate(2, 0, z, [0; 0], [1; 1], sparse(2, 2), [1; -1]);
  expect_log(sprintf('2 row/cols, 0 non-zeros, 0.00%% dense.\n\n'));
  expect(status == 1 && norm(z - [0; 1]) < 1e-12 && isequal(F, [1; -1]), 'M = 0: solution');
  expect(isequal(basis, [-1; 1]), 'M = 0: basis');

  % nnz is a bound capped at n*n, however large; a model whose capped bound
  % does not fit 32-bit counts ends with status 0 before it is solved: z is
  % left as it was, F is unknown (NaN) and no variable is at a bound.
  for bound = [Inf, 1e10, 2147483648]
    z = fresh([0; 0]);
    [status, time] = lcpgate(2, bound, z, [0; 0], [Inf; Inf], speye(2), -[1; 2]);
    expect(status == 1 && norm(z - [1; 2]) < 1e-8, 'nnz %g: not solved', bound);
    expect_log(sprintf('2 row/cols, 4 non-zeros, 100.00%% dense.\n\n'));
    n = 50000;
    z = zeros(n, 1);
    [status, time, F, basis] = lcpgate(n, bound, z, z, Inf(n, 1), speye(n), -ones(n, 1));
    expect(status == 0 && all(z == 0), 'too large model, nnz %g: status %g', bound, status);
    expect(all(isnan(F)) && all(basis == 0), 'too large model, nnz %g: F or basis', bound);
    expect_log(sprintf('\n ** EXIT - model too large.\n'));
  end

  % Every kind of variable: at its lower bound, at its upper bound, between
  % its bounds and fixed (lower = upper). F = z + q, diagonal M.
  lb = [0; 0; 0; 2];
  ub = [4; 4; 4; 2];
  q = [1; -5; -2; 0];
  M = speye(4);
  for presolve = {'yes', 'no'}
    write_options(['presolve ' presolve{1}]);
    z = zeros(4, 1);
    [status, time, F, basis] = lcpgate(4, 4, z, lb, ub, M, q);
    expect(status == 1 && norm(z - [0; 4; 2; 2]) < 1e-8, 'kinds of variable: solution');
    expect(isequal(basis, [-1; 1; 0; 0]), 'kinds of variable: basis, presolve %s', presolve{1});
  end
  expect_log(sprintf('4 row/cols, 4 non-zeros, 25.00%% dense.\n\n'));

  % Bounds that admit no point: no variable is at a bound, so every basis
  % entry is 0, F is unknown and z is left as it was. The solve before it
  % ends with every variable at its lower bound, so that the memory the
  % refused solve reuses holds such codes.
  write_options();
  n = 200;
  z = zeros(n, 1);
  [status, time, F, basis] = lcpgate(n, n, z, zeros(n, 1), Inf(n, 1), speye(n), ones(n, 1));
  expect(status == 1 && all(basis == -1), 'all at the lower bound: status %g', status);
  refused = {
    [1; zeros(n - 1, 1)], [0; Inf(n - 1, 1)], 'lower above upper'
    [NaN; zeros(n - 1, 1)], Inf(n, 1),        'NaN lower bound'
  };
  for k = 1:rows(refused)
    [lb_bad, ub_bad, label] = refused{k, :};
    z = fresh(0.5 * ones(n, 1));
    [status, time, F, basis] = lcpgate(n, n, z, lb_bad, ub_bad, speye(n), ones(n, 1));
    expect(status == 0 && all(basis == 0), '%s: status %g, %d basis entries not 0', ...
           label, status, nnz(basis));
    expect(all(isnan(F)) && all(z == 0.5), '%s: F or z', label);
  end

  % Two outputs: z still receives the solution.
  write_options();
  z = zeros(4, 1);
  [status, time] = lcpgate(4, 16, z, lb, ub, M, q);
  expect(status == 1 && norm(z - [0; 4; 2; 2]) < 1e-8, 'two outputs');
  expect_log(sprintf('4 row/cols, 16 non-zeros, 100.00%% dense.\n\n'));

  % An 8th input forces the four start options; sarn.opt overrides them.
  [M, q, lb, ub, solution] = qp_kkt_lcp();
  write_options('output_options yes');
  z = zeros(5, 1);
  [status, time] = lcpgate(5, nnz(M), z, lb, ub, M, q, ones(5, 1));
  expect(status == 1 && norm(z - solution) < 1e-6, 'start vector: status %g', status);
  expect_log(sprintf('\npresolve no\n'), sprintf('\ncrash_method none\n'), ...
             sprintf('\ncrash_perturb no\n'), sprintf('\nlemke_start first\n'));
  write_options('output_options yes', 'presolve yes', 'lemke_start automatic');
  z = zeros(5, 1);
  [status, time] = lcpgate(5, nnz(M), z, lb, ub, M, q, ones(5, 1));
  expect(status == 1 && norm(z - solution) < 1e-6, 'start vector with option file');
  expect_log(sprintf('\npresolve yes\n'), sprintf('\ncrash_method none\n'), ...
             sprintf('\nlemke_start automatic\n'));
end
