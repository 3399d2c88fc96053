function test_both_plugins()
  % Both plug-ins in one session, called one after the other and after each
  % other's errors; each solves with its own copy of the library.
  write_options();
  [M, q, lb, ub, solution] = qp_kkt_lcp();
  for round = 1:3
    z = zeros(4, 1);
    [status, time, F] = mcpgate(4, 16, z, zeros(4, 1), Inf(4, 1), 'josephy');
    expect(status == 1 && norm(z - [sqrt(6)/2; 0; 0; 0.5]) < 1e-6, 'mcpgate, round %d', round);
    w = zeros(5, 1);
    [status, time, F, basis] = lcpgate(5, nnz(M), w, lb, ub, M, q);
    expect(status == 1 && norm(w - solution) < 1e-6, 'lcpgate, round %d', round);
  end
  % An error in one plug-in leaves the other alone, and itself usable.
  z = fresh(0);
  expect_error(2, @() mcpgate(1, 1, z, 0, Inf, 'no_such_function'), 'raised an error', 'mcpgate error');
  w = zeros(5, 1);
  [status, time] = lcpgate(5, nnz(M), w, lb, ub, M, q);
  expect(status == 1 && norm(w - solution) < 1e-6, 'lcpgate after an mcpgate error');
  expect_error(2, @() lcpgate(5, 1, w, lb, ub, M, q), 'more than nnz allows', 'lcpgate error');
  z = zeros(4, 1);
  [status, time] = mcpgate(4, 16, z, zeros(4, 1), Inf(4, 1), 'josephy');
  expect(status == 1, 'mcpgate after an lcpgate error');
end
