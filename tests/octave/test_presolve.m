function test_presolve()
  % The presolve of lcpgate: a problem it proves infeasible row by row ends
  % with status 0 and the line of the row that fails, whatever the order of
  % the rows' reductions; a problem it solves entirely, and one it shrinks,
  % give back points of the problem itself, with z written in place.
  write_options();

  % z1 and z4 free; z2, z3, z5 in [0, 1]; F1 = z2 + z3, F4 = -z2 + z5 + 1,
  % the other F 0. F1 = 0 pins z2 = z3 = 0, and then F4 = z5 + 1 > 0.
  n = 5;
  M = sparse([1 1 4 4], [2 3 2 5], [1 1 -1 1], n, n);
  q = [0; 0; 0; 1; 0];
  lb = [-Inf; 0; 0; -Inf; 0];
  ub = [Inf; 1; 1; Inf; 1];
  for presolve = {'yes', 'no'}
    write_options(['presolve ' presolve{1}]);
    z = fresh(zeros(n, 1));
    [status, time, F, basis] = lcpgate(n, nnz(M), z, lb, ub, M, q);
    expect(status == 0, 'infeasible pair of rows, presolve %s: status %g', presolve{1}, status);
    expect(all(ismember(basis, [-1 0 1])), 'basis entries');
    has_line = ~isempty(strfind(log_text(), ['Equality (f[    4]): infeasible: rhs: -1.0000e+00 ' ...
                                            'lb: 0.0000e+00(1.0000e+00) ub: 1.0000e+00(2.0000e+00)']));
    expect(has_line == strcmp(presolve{1}, 'yes'), 'infeasibility line, presolve %s', presolve{1});
  end

  % Solved by the presolve alone: a forcing row (z1 free, F1 = z2 + z3 with
  % z2, z3 in [0, 1]), a constant row (z4 >= 0, F4 = 2) and, once z2 is
  % pinned, a row in z5 alone (F5 = 2 z5 + z2 - 2).
  M = sparse([1 1 5 5], [2 3 2 5], [1 1 1 2], 5, 5);
  q = [0; 0; 0; 2; -2];
  lb = [-Inf; 0; 0; 0; 0];
  ub = [Inf; 1; 1; Inf; 5];
  write_options('presolve yes');
  z = fresh(ones(5, 1));
  [status, time, F, basis] = lcpgate(5, nnz(M), z, lb, ub, M, q);
  expect(status == 1, 'solved by the presolve: status %g', status);
  check_oracle(z, lb, ub, M * z + q, 1e-9, 'solved by the presolve');
  expect(norm(z - [0; 0; 0; 0; 1], Inf) == 0, 'the presolved point');
  expect_log('Zero:     1 Single:     0 Double:     0', 'Forced:     3 Redundant:     0');

  % The same rows bordering the obstacle problem: the presolve removes
  % them, the solver does the rest.
  [A, qa, la, ua] = obstacle_lcp(10);
  m = rows(A);
  M = blkdiag(sparse([1 1 5 5], [2 3 2 5], [1 1 1 2], 5, 5), A);
  q = [0; 0; 0; 2; -2; qa];
  lb = [-Inf; 0; 0; 0; 0; la];
  ub = [Inf; 1; 1; Inf; 5; ua];
  for presolve = {'yes', 'no'}
    write_options(['presolve ' presolve{1}]);
    z = fresh(zeros(m + 5, 1));
    [status, time, F] = lcpgate(m + 5, nnz(M), z, lb, ub, M, q);
    expect(status == 1, 'bordered obstacle, presolve %s: status %g', presolve{1}, status);
    check_oracle(z, lb, ub, M * z + q, 1e-6, ['bordered obstacle, presolve ' presolve{1}]);
  end
end
