function test_large_obstacle()
  % The obstacle problem on a 300-by-300 grid (n = 90 000) through lcpgate,
  % with the option presolve on and off.
  [M, q, lb, ub] = obstacle_lcp(300);
  n = rows(M);
  for presolve = {'yes', 'no'}
    write_options(['presolve ' presolve{1}]);
    label = ['obstacle 300, presolve ' presolve{1}];
    z = zeros(n, 1);
    [status, time, F, basis] = lcpgate(n, nnz(M), z, lb, ub, M, q);
    expect(status == 1, '%s: status %g', label, status);
    check_oracle(z, lb, ub, M * z + q, 1e-6, label);
    contact = basis == -1;
    expect(any(contact) && ~all(contact), '%s: no contact region', label);
  end
end
