function test_large_obstacle()
  % The obstacle problem on a 300-by-300 grid (n = 90 000) through lcpgate.
  write_options();
  [M, q, lb, ub] = obstacle_lcp(300);
  n = rows(M);
  z = zeros(n, 1);
  [status, time, F, basis] = lcpgate(n, nnz(M), z, lb, ub, M, q);
  expect(status == 1, 'obstacle 300: status %g', status);
  check_oracle(z, lb, ub, M * z + q, 1e-6, 'obstacle 300');
  contact = basis == -1;
  expect(any(contact) && ~all(contact), 'obstacle 300: no contact region');
end
